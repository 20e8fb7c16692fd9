#include "sim/SimSerialDriver.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "serial/port/SerialConfig.h"

namespace {
constexpr int kLibVersion = 1;
constexpr int kOpenInUse = 1000;
constexpr int kNotValid = 1003;
}  // namespace

SimSerialDriver::SimSerialDriver() : SimSerialDriver(EmulatorOptions{}) {}

SimSerialDriver::SimSerialDriver(EmulatorOptions options) : emulator_(std::move(options)) {}

void SimSerialDriver::release() {
  if (!pending_.empty()) {
    const std::int64_t now = emulator_.now();
    while (!pending_.empty() && pending_.front().dueUs <= now) {
      ScheduledWrite& w = pending_.front();
      emulator_.noteSent(w, w.dueUs);
      rx_.insert(rx_.end(), w.bytes.begin(), w.bytes.end());
      pending_.pop_front();
    }
  }
  if (hungUp_ && pending_.empty() && !hangupNoted_) {
    hangupNoted_ = true;
    emulator_.noteHangup(emulator_.now());
  }
}

int SimSerialDriver::SerOpenPort(SerialConfig& config) {
  std::lock_guard lock(mutex_);
  if (open_)
    return kOpenInUse;
  if (gone())
    return kNotValid;
  config.setPortNum(1);
  open_ = true;
  return 0;
}

int SimSerialDriver::SerConfigure(const SerialConfig&) {
  return 0;
}

int SimSerialDriver::SerClosePort(int handle) {
  std::lock_guard lock(mutex_);
  if (!valid(handle))
    return -1;
  open_ = false;
  // Whatever the deck still had on its way is lost with the port, as on a real line.
  pending_.clear();
  rx_.clear();
  return 0;
}

int SimSerialDriver::SerPutByte(int handle, std::uint8_t b) {
  return SerPutData(handle, &b, 1) == 1 ? 0 : -1;
}

int SimSerialDriver::SerPutData(int handle, const std::uint8_t* data, int count) {
  std::lock_guard lock(mutex_);
  if (!valid(handle) || count < 0)
    return -1;
  release();
  if (hungUp_)
    return 0;
  auto writes = emulator_.receive({data, static_cast<std::size_t>(count)});
  for (auto& w : writes)
    pending_.push_back(std::move(w));
  hungUp_ = emulator_.hungUp();
  release();
  arrived_.notify_all();
  return count;
}

int SimSerialDriver::takeBytes(std::uint8_t* data, int count) {
  const int n = std::min<int>(count, static_cast<int>(rx_.size()));
  std::copy_n(rx_.begin(), n, data);
  rx_.erase(rx_.begin(), rx_.begin() + n);
  return n;
}

int SimSerialDriver::SerGetByte(int handle) {
  std::uint8_t b = 0;
  return SerGetData(handle, &b, 1) == 1 ? b : -1;
}

int SimSerialDriver::SerGetData(int handle, std::uint8_t* data, int count) {
  std::unique_lock lock(mutex_);
  if (!valid(handle) || count < 0)
    return -1;
  emulator_.expire();
  release();
  if (timeoutRxMs_ > 0) {
    // A read with a receive time-out waits for the whole count or the time-out.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutRxMs_);
    while (static_cast<int>(rx_.size()) < count && !gone() &&
           std::chrono::steady_clock::now() < deadline) {
      arrived_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() +
                                                       std::chrono::milliseconds(1)));
      if (!valid(handle))
        return -1;
      release();
    }
  }
  if (gone())
    return -1;
  return takeBytes(data, count);
}

int SimSerialDriver::SerRxReadyCount(int handle) {
  std::lock_guard lock(mutex_);
  if (!valid(handle))
    return -1;
  emulator_.expire();
  release();
  if (gone())
    return -1;
  return static_cast<int>(rx_.size());
}

int SimSerialDriver::SerTxBufCount(int handle) {
  std::lock_guard lock(mutex_);
  return valid(handle) && !gone() ? 0 : -1;
}

int SimSerialDriver::SerSigDSR(int handle) {
  std::lock_guard lock(mutex_);
  if (!valid(handle))
    return -1;
  return gone() ? 0 : 1;
}

int SimSerialDriver::SerSigCTS(int handle) {
  return SerSigDSR(handle);
}
int SimSerialDriver::SerSigCD(int handle) {
  return SerSigDSR(handle);
}

int SimSerialDriver::SerSigRing(int handle) {
  std::lock_guard lock(mutex_);
  return valid(handle) ? 0 : -1;
}

int SimSerialDriver::SerSigBreak(int handle) {
  return SerSigRing(handle);
}
int SimSerialDriver::SerSigFrameErr(int handle) {
  return SerSigRing(handle);
}
int SimSerialDriver::SerSigOverrun(int handle) {
  return SerSigRing(handle);
}
int SimSerialDriver::SerSigParityErr(int handle) {
  return SerSigRing(handle);
}
int SimSerialDriver::SerRxOverflow(int handle) {
  return SerSigRing(handle);
}

int SimSerialDriver::SerSetDTR(int, bool) {
  return 0;
}
int SimSerialDriver::SerSetRTS(int, bool) {
  return 0;
}
int SimSerialDriver::SerSendBreak(int, int) {
  return 0;
}

int SimSerialDriver::SerRxFlush(int handle) {
  std::lock_guard lock(mutex_);
  if (!valid(handle))
    return -1;
  release();
  rx_.clear();
  return 0;
}

int SimSerialDriver::SerTxFlush(int) {
  return 0;
}
int SimSerialDriver::SerTxDrain(int) {
  return 0;
}

int SimSerialDriver::SerSetTimeoutRx(int, int ms) {
  std::lock_guard lock(mutex_);
  timeoutRxMs_ = std::max(0, ms);
  return 0;
}

int SimSerialDriver::SerSetTimeoutTx(int, int ms) {
  std::lock_guard lock(mutex_);
  timeoutTxMs_ = std::max(0, ms);
  return 0;
}

int SimSerialDriver::SerGetTimeoutRx(int) {
  std::lock_guard lock(mutex_);
  return timeoutRxMs_;
}

int SimSerialDriver::SerGetTimeoutTx(int) {
  std::lock_guard lock(mutex_);
  return timeoutTxMs_;
}

int SimSerialDriver::SerGetLibVer() {
  return kLibVersion;
}

int SimSerialDriver::SerFlowTask(int) {
  // Nothing to do for an in-process line; pause so a caller that loops on this does not spin.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return 0;
}
