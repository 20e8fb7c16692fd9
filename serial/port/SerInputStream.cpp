#include "serial/port/SerInputStream.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "serial/port/SerialIOError.h"

namespace {
constexpr std::chrono::milliseconds kPoll{20};
}

SerInputStream::SerInputStream(SerialPort& port) : sp_(&port) {
  if (sp_->getPortNum() < 0) {
    throw SerialIOError("Port not open");
  }
  sp_->setTimeoutRx(0);
}

int SerInputStream::read() {
  for (;;) {
    const int b = sp_->getByte();
    if (b >= 0) {
      return b;
    }
    std::this_thread::sleep_for(kPoll);
  }
}

int SerInputStream::read(std::span<std::uint8_t> bytes) {
  if (bytes.empty()) {
    return 0;
  }
  // A port that fails (closed, vanished device) throws from getData and so ends the wait.
  for (;;) {
    const int n = sp_->getData(bytes);
    if (n > 0) {
      return n;
    }
    std::this_thread::sleep_for(kPoll);
  }
}

int SerInputStream::read(std::span<std::uint8_t> bytes, int offset, int count) {
  if (count == 0) {
    return 0;
  }
  if (offset < 0 || count < 0 ||
      static_cast<std::size_t>(offset) + static_cast<std::size_t>(count) > bytes.size()) {
    throw SerialIOError("read: count out of bounds");
  }
  // As the port's slice read: the bytes of the slice past those read are zero.
  const std::span<std::uint8_t> slice = bytes.subspan(offset, count);
  const int n = read(slice);
  std::fill(slice.begin() + std::max(n, 0), slice.end(), std::uint8_t{0});
  return n;
}

int SerInputStream::available() {
  return sp_->rxReadyCount();
}

void SerInputStream::close() {
  sp_->close();
}
