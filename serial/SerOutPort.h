#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "serial/CommandLink.h"
#include "serial/port/SerInputStream.h"
#include "serial/port/SerOutputStream.h"
#include "serial/port/SerialConfig.h"
#include "serial/port/SerialDriver.h"
#include "serial/port/SerialPortLocal.h"

// The link to the deck: opens the deck's serial port at 38400 bit/s, 8 data bits, odd parity,
// 1 stop bit, no flow control, DTR and RTS on, and exchanges one command frame for its reply.
// A port that cannot be opened leaves the link "bad" (the creator decides what to do); steps of
// opening that fail after the port is open are printed and the link is used as far as it goes.
// Each link owns its port and streams.
//
// A port that vanishes while the program runs (a USB adapter pulled, the emulator gone) is
// won back: once its exchanges have failed for a second the link closes it, says so in one
// line, and tries to open the same name again every second, with the same line settings, DTR
// and RTS. While the port works nothing of this happens.
class SerOutPort : public CommandLink {
 public:
  static constexpr int txBuf = 2048;
  static constexpr int rxBuf = 4096;
  static constexpr int buffersize = 16;
  static constexpr int kDefaultWaitMs = 20;

  // Opens the named port ("COM1", "/dev/ttyUSB0"). A null driver uses the platform's driver.
  explicit SerOutPort(const std::string& portName, std::shared_ptr<SerialDriver> driver = nullptr);
  ~SerOutPort() override;
  SerOutPort(const SerOutPort&) = delete;
  SerOutPort& operator=(const SerOutPort&) = delete;

  // Writes the command, sleeps the reply wait and collects what has arrived, all under the
  // link's lock so that exchanges of different threads never interleave on the line. The
  // caller gets its own copy of the reply with the byte count of its last read; a failed write
  // gives 16 zero bytes and count 0.
  SerialReply SendSerial(std::span<const std::uint8_t> command) override;
  // Writes only; false (and "Unable to write to Serial Port") when the write failed.
  bool SendSer(std::span<const std::uint8_t> bytes);
  // Collects what has arrived, 16 bytes at a time, each read from the start of the buffer: the
  // answer holds the last chunk read and its count.
  SerialReply ReadSer();
  // Bytes taken by the last read of a reply (a failed write leaves it as it was).
  int SerCount() const { return numBytes_; }
  // The pause between writing a command and reading its reply.
  void setwait(int ms) { wait_ = ms; }
  int getwait() const { return wait_; }
  // The port could not be opened.
  bool isBad() const { return bad_; }
  // Some step of opening failed (the port, DTR, RTS or a stream).
  bool getNoCOM() const { return noCOM_; }
  // 0 no error, 1 the last write failed, 2 the last read failed.
  int getSerError() const { return serError_; }
  std::string getPortName() const { return serCfg_.getPortName(); }

  // hasPort stays true while a lost port is being reopened: polling and cues go on trying.
  bool hasPort() const override { return hasPort_.load(); }
  bool hasOutStream() const override { return hasOutStream_.load(); }
  // The port was lost and is not open again yet.
  bool isLost() const { return lost_.load(); }
  unsigned lineLosses() const override { return losses_.load(); }

  static constexpr std::chrono::milliseconds kLostAfter{1000};
  static constexpr std::chrono::milliseconds kRetryEvery{1000};

 private:
  using Clock = std::chrono::steady_clock;
  // DTR, RTS and the two streams on the open port, each step reported when it fails.
  void openStepsLocked();
  void closeLocked();
  // The lost-port bookkeeping before each exchange: close after a second of failures, then
  // reopen every second.
  void recoverLocked();
  void noteResultLocked(bool failed);

  bool sendLocked(std::span<const std::uint8_t> bytes);
  void readLocked();
  SerialReply replyLocked() const;

  std::atomic<bool> bad_{false};
  std::atomic<bool> noCOM_{false};
  SerialConfig serCfg_;
  std::atomic<int> wait_{kDefaultWaitMs};
  std::atomic<int> numBytes_{0};
  std::atomic<int> serError_{0};
  bool writeFailing_ = false;  // the last write failed (guarded by mu_)
  std::array<std::uint8_t, buffersize> serin_{};

  std::shared_ptr<SerialDriver> driver_;  // kept to reopen the port
  std::atomic<bool> hasPort_{false};
  std::atomic<bool> hasOutStream_{false};
  std::atomic<bool> lost_{false};
  std::atomic<unsigned> losses_{0};
  std::optional<Clock::time_point> failingSince_;  // guarded by mu_
  Clock::time_point lastAttempt_{};                // guarded by mu_

  std::unique_ptr<SerialPortLocal> serialPort_;
  std::optional<SerOutputStream> serialOutStream_;
  std::optional<SerInputStream> serialInStream_;
  mutable std::mutex mu_;
};
