#pragma once

#include <termios.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "serial/port/PosixCalls.h"
#include "serial/port/SerialConfig.h"
#include "serial/port/SerialDriver.h"

// The serial driver for POSIX systems: termios on a non-blocking descriptor. Ports are named by
// path ("/dev/ttyUSB0", "/dev/pts/5"), as "COMn" (the n-th port, /dev/ttyS(n-1)), or by the
// configuration's base name and number. An exclusive flock marks a port as taken, so a port
// another program holds answers 1002. The line settings found at open are put back at close.
// Calls never wait long: reads answer with what is waiting (or wait the receive time-out), and
// a write that makes no progress for kMaxWriteStallMs gives up with a short count. A device that
// has gone away (a closed pseudo-terminal master, an unplugged adapter) makes every call fail
// at once. Safe to call from several threads; the table of open ports is locked.
class PosixSerialDriver : public SerialDriver {
 public:
  static constexpr int kLibVersion = 100;
  static constexpr int kMaxWriteStallMs = 500;
  // Open codes of the driver contract.
  static constexpr int kAlreadyOpen = 1000;
  static constexpr int kInUse = 1002;
  static constexpr int kNotValid = 1003;

  // A null `calls` uses the system's calls.
  explicit PosixSerialDriver(std::shared_ptr<PosixCalls> calls = nullptr);
  ~PosixSerialDriver() override;
  PosixSerialDriver(const PosixSerialDriver&) = delete;
  PosixSerialDriver& operator=(const PosixSerialDriver&) = delete;

  // The device path the configuration names; empty when it names none.
  static std::string deviceName(const SerialConfig& config);

  int SerOpenPort(SerialConfig& config) override;
  int SerConfigure(const SerialConfig& config) override;
  int SerClosePort(int handle) override;
  int SerPutByte(int handle, std::uint8_t b) override;
  int SerPutData(int handle, const std::uint8_t* data, int count) override;
  int SerGetByte(int handle) override;
  int SerGetData(int handle, std::uint8_t* data, int count) override;
  int SerRxReadyCount(int handle) override;
  int SerTxBufCount(int handle) override;
  int SerSigDSR(int handle) override;
  int SerSigCTS(int handle) override;
  int SerSigCD(int handle) override;
  int SerSigRing(int handle) override;
  int SerSigBreak(int handle) override;
  int SerSigFrameErr(int handle) override;
  int SerSigOverrun(int handle) override;
  int SerSigParityErr(int handle) override;
  int SerRxOverflow(int handle) override;
  int SerSetDTR(int handle, bool on) override;
  int SerSetRTS(int handle, bool on) override;
  int SerSendBreak(int handle, int duration) override;
  int SerRxFlush(int handle) override;
  int SerTxFlush(int handle) override;
  int SerTxDrain(int handle) override;
  int SerSetTimeoutRx(int handle, int ms) override;
  int SerSetTimeoutTx(int handle, int ms) override;
  int SerGetTimeoutRx(int handle) override;
  int SerGetTimeoutTx(int handle) override;
  int SerGetLibVer() override;
  int SerFlowTask(int handle) override;

 private:
  // Line-error counters the kernel keeps for real UARTs, in the order break, frame, overrun,
  // parity, receive-buffer overrun.
  enum Counter { kBreak, kFrame, kOverrun, kParity, kBufOverrun, kCounters };

  struct Slot {
    int fd = -1;
    std::string path;
    termios saved{};
    int timeoutRx = 0;
    int timeoutTx = 0;
    std::array<long, kCounters> seen{};
  };

  int fdOf(int handle);
  int modemBit(int handle, int bit);
  int setModemBit(int handle, int bit, bool on);
  int counterRose(int handle, Counter which);
  // True when the device has hung up or failed, as poll reports it.
  bool vanished(int fd);
  void closeSlot(Slot& slot);

  std::shared_ptr<PosixCalls> sys_;
  std::mutex mu_;
  std::map<int, Slot> slots_;
};
