#include "serial/port/SerOutputStream.h"

#include <chrono>
#include <limits>
#include <thread>

#include "serial/port/SerialIOError.h"

SerOutputStream::SerOutputStream(SerialPort& port) : sp_(&port) {
  if (sp_->getPortNum() < 0) {
    throw SerialIOError("Port not open");
  }
  sp_->setTimeoutTx(std::numeric_limits<int>::max());
}

void SerOutputStream::write(std::uint8_t b) {
  sp_->putByte(b);
}

void SerOutputStream::write(std::span<const std::uint8_t> bytes) {
  sp_->putData(bytes);
}

void SerOutputStream::write(std::span<const std::uint8_t> bytes, int offset, int count) {
  sp_->putData(bytes, offset, count);
}

void SerOutputStream::flush() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFlushLimitMs);
  while (sp_->txBufCount() > 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      throw SerialIOError("flush: transmit buffer did not drain");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}
