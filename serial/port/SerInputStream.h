#pragma once

#include <cstdint>
#include <span>

#include "serial/port/SerialPort.h"

// The open port as a byte input stream. Making it sets the port's receive time-out to 0, so
// the port answers at once with what is waiting; the reads below wait for data themselves.
// It refers to the port and does not own it; the port must outlive the stream.
class SerInputStream {
 public:
  // Throws SerialIOError "Port not open" for a closed port.
  explicit SerInputStream(SerialPort& port);

  // One byte (0 to 255); polls every 20 ms until one arrives.
  int read();
  // Reads what is waiting into the start of bytes; polls every 20 ms until at least one byte
  // has arrived. Answers the count.
  int read(std::span<std::uint8_t> bytes);
  // Reads into bytes[offset, offset + count); answers the count read.
  int read(std::span<std::uint8_t> bytes, int offset, int count);
  // Bytes waiting to be read.
  int available();
  // Closes the port.
  void close();

 private:
  SerialPort* sp_;
};
