#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "serial/port/SerialDriver.h"
#include "sim/DeckEmulator.h"
#include "sim/EmulatorOptions.h"

// The in-process serial port "SIM": a port driver whose far end is an emulated 9-pin deck.
// Bytes written go straight to the emulator; its replies become readable at their due time
// (at once, or after the configured reply delay). It has one port, number 1 (handle 0). The
// modem lines and time-outs are accepted and do nothing. After a configured hang-up the last
// reply can still be read, then every read, count and write fails as on a vanished device.
// All calls are thread-safe.
class SimSerialDriver : public SerialDriver {
 public:
  // A tape deck at 00:00:00:00 with every fault off.
  SimSerialDriver();
  // Throws std::runtime_error when options.transcriptPath cannot be created.
  explicit SimSerialDriver(EmulatorOptions options);

  DeckEmulator& emulator() { return emulator_; }

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
  // Moves writes whose time has come into the receive buffer; notes the hang-up once the last
  // reply is out. Needs mutex_.
  void release();
  bool valid(int handle) const { return open_ && handle == 0; }
  bool gone() const { return hungUp_ && pending_.empty() && rx_.empty(); }
  int takeBytes(std::uint8_t* data, int count);

  DeckEmulator emulator_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<ScheduledWrite> pending_;
  std::deque<std::uint8_t> rx_;
  bool open_ = false;
  bool hungUp_ = false;
  bool hangupNoted_ = false;
  int timeoutRxMs_ = 0;
  int timeoutTxMs_ = 0;
};
