#include "serial/support/FakeDriver.h"

#include <chrono>
#include <thread>

#include "serial/port/SerialConfig.h"

void FakeDriver::setResult(const std::string& entry, int value) {
  std::lock_guard lock(mu_);
  results_[entry] = value;
}

void FakeDriver::clearResult(const std::string& entry) {
  std::lock_guard lock(mu_);
  results_.erase(entry);
}

void FakeDriver::feed(const std::vector<std::uint8_t>& bytes) {
  std::lock_guard lock(mu_);
  rx_.insert(rx_.end(), bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> FakeDriver::written() const {
  std::lock_guard lock(mu_);
  return tx_;
}

std::vector<std::string> FakeDriver::calls() const {
  std::lock_guard lock(mu_);
  std::vector<std::string> names;
  for (const auto& c : calls_) {
    names.push_back(c.first);
  }
  return names;
}

int FakeDriver::count(const std::string& entry) const {
  std::lock_guard lock(mu_);
  int n = 0;
  for (const auto& c : calls_) {
    n += c.first == entry ? 1 : 0;
  }
  return n;
}

std::vector<int> FakeDriver::handles(const std::string& entry) const {
  std::lock_guard lock(mu_);
  std::vector<int> out;
  for (const auto& c : calls_) {
    if (c.first == entry) {
      out.push_back(c.second);
    }
  }
  return out;
}

bool FakeDriver::log(const std::string& entry, int handle, int& out) {
  std::lock_guard lock(mu_);
  calls_.emplace_back(entry, handle);
  auto it = results_.find(entry);
  if (it == results_.end()) {
    return false;
  }
  out = it->second;
  return true;
}

int FakeDriver::SerOpenPort(SerialConfig& config) {
  int r = 0;
  if (log("SerOpenPort", -1, r)) {
    return r;
  }
  config.setPortNum(portNumber);
  return 0;
}

int FakeDriver::SerConfigure(const SerialConfig& config) {
  int r = 0;
  return log("SerConfigure", config.getPort() - 1, r) ? r : 0;
}

int FakeDriver::SerClosePort(int handle) {
  int r = 0;
  return log("SerClosePort", handle, r) ? r : 0;
}

int FakeDriver::SerPutByte(int handle, std::uint8_t b) {
  int r = 0;
  if (log("SerPutByte", handle, r)) {
    return r;
  }
  std::lock_guard lock(mu_);
  tx_.push_back(b);
  return 0;
}

int FakeDriver::SerPutData(int handle, const std::uint8_t* data, int count) {
  int r = 0;
  if (log("SerPutData", handle, r)) {
    return r;
  }
  std::lock_guard lock(mu_);
  tx_.insert(tx_.end(), data, data + count);
  return count;
}

int FakeDriver::SerGetByte(int handle) {
  int r = 0;
  if (log("SerGetByte", handle, r)) {
    return r;
  }
  std::lock_guard lock(mu_);
  if (rx_.empty()) {
    return -1;
  }
  const int b = rx_.front();
  rx_.pop_front();
  return b;
}

int FakeDriver::SerGetData(int handle, std::uint8_t* data, int count) {
  int r = 0;
  if (log("SerGetData", handle, r)) {
    return r;
  }
  std::lock_guard lock(mu_);
  int n = 0;
  while (n < count && !rx_.empty()) {
    data[n++] = rx_.front();
    rx_.pop_front();
  }
  return n;
}

int FakeDriver::SerRxReadyCount(int handle) {
  int r = 0;
  if (log("SerRxReadyCount", handle, r)) {
    return r;
  }
  std::lock_guard lock(mu_);
  return static_cast<int>(rx_.size());
}

int FakeDriver::SerTxBufCount(int handle) {
  int r = 0;
  return log("SerTxBufCount", handle, r) ? r : 0;
}

#define FAKE_QUERY(entry)                  \
  int FakeDriver::entry(int handle) {      \
    int r = 0;                             \
    return log(#entry, handle, r) ? r : 0; \
  }
FAKE_QUERY(SerSigDSR)
FAKE_QUERY(SerSigCTS)
FAKE_QUERY(SerSigCD)
FAKE_QUERY(SerSigRing)
FAKE_QUERY(SerSigBreak)
FAKE_QUERY(SerSigFrameErr)
FAKE_QUERY(SerSigOverrun)
FAKE_QUERY(SerSigParityErr)
FAKE_QUERY(SerRxOverflow)
FAKE_QUERY(SerRxFlush)
FAKE_QUERY(SerTxFlush)
FAKE_QUERY(SerTxDrain)
#undef FAKE_QUERY

int FakeDriver::SerSetDTR(int handle, bool) {
  int r = 0;
  return log("SerSetDTR", handle, r) ? r : 0;
}

int FakeDriver::SerSetRTS(int handle, bool) {
  int r = 0;
  return log("SerSetRTS", handle, r) ? r : 0;
}

int FakeDriver::SerSendBreak(int handle, int) {
  int r = 0;
  return log("SerSendBreak", handle, r) ? r : 0;
}

int FakeDriver::SerSetTimeoutRx(int handle, int ms) {
  int r = 0;
  if (log("SerSetTimeoutRx", handle, r)) {
    return r;
  }
  std::lock_guard lock(mu_);
  timeoutRx_ = ms;
  return 0;
}

int FakeDriver::SerSetTimeoutTx(int handle, int ms) {
  int r = 0;
  if (log("SerSetTimeoutTx", handle, r)) {
    return r;
  }
  std::lock_guard lock(mu_);
  timeoutTx_ = ms;
  return 0;
}

int FakeDriver::SerGetTimeoutRx(int handle) {
  int r = 0;
  if (log("SerGetTimeoutRx", handle, r)) {
    return r;
  }
  std::lock_guard lock(mu_);
  return timeoutRx_;
}

int FakeDriver::SerGetTimeoutTx(int handle) {
  int r = 0;
  if (log("SerGetTimeoutTx", handle, r)) {
    return r;
  }
  std::lock_guard lock(mu_);
  return timeoutTx_;
}

int FakeDriver::SerGetLibVer() {
  int r = 0;
  return log("SerGetLibVer", -1, r) ? r : 42;
}

int FakeDriver::SerFlowTask(int) {
  // Not logged: the flow task calls it in a loop and would flood the log.
  ++flowPasses_;
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return 0;
}
