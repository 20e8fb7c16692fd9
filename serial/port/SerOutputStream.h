#pragma once

#include <cstdint>
#include <span>

#include "serial/port/SerialPort.h"

// The open port as a byte output stream. Making it sets the port's transmit time-out to the
// largest value, so writes wait for the line to take the bytes. It refers to the port and does
// not own it; the port must outlive the stream.
class SerOutputStream {
 public:
  // Throws SerialIOError "Port not open" for a closed port.
  explicit SerOutputStream(SerialPort& port);

  void write(std::uint8_t b);
  void write(std::span<const std::uint8_t> bytes);
  void write(std::span<const std::uint8_t> bytes, int offset, int count);
  // Waits until the port's transmit buffer is empty. A line that does not drain within
  // kFlushLimitMs throws "flush: transmit buffer did not drain" instead of hanging the caller.
  void flush();

  static constexpr int kFlushLimitMs = 2000;

 private:
  SerialPort* sp_;
};
