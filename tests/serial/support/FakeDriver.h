#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "serial/port/SerialDriver.h"

// A driver in memory. Every call is logged by its entry name ("SerPutData"); a result set in
// `results` under that name replaces the call's normal answer. Bytes queued with feed() are
// what the reads return; written bytes collect in written(). Safe for concurrent calls.
class FakeDriver : public SerialDriver {
 public:
  // The port number the open hands out (the handle is one less).
  int portNumber = 1;

  void setResult(const std::string& entry, int value);
  // The entry answers normally again.
  void clearResult(const std::string& entry);
  void feed(const std::vector<std::uint8_t>& bytes);
  std::vector<std::uint8_t> written() const;
  std::vector<std::string> calls() const;
  int count(const std::string& entry) const;
  // The handles the calls were made with, in order, for the named entry.
  std::vector<int> handles(const std::string& entry) const;
  int flowPasses() const { return flowPasses_; }

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
  // Logs the call; true with `out` set when a result was given for the entry.
  bool log(const std::string& entry, int handle, int& out);

  mutable std::mutex mu_;
  std::map<std::string, int> results_;
  std::vector<std::pair<std::string, int>> calls_;
  std::deque<std::uint8_t> rx_;
  std::vector<std::uint8_t> tx_;
  int timeoutRx_ = 0;
  int timeoutTx_ = 0;
  std::atomic<int> flowPasses_{0};
};
