#pragma once

#include <array>
#include <cstdint>
#include <span>

// The reply of one exchange, handed to its caller as its own copy: the 16-byte reply buffer
// and the number of bytes the read took.
struct SerialReply {
  std::array<std::uint8_t, 16> bytes{};
  int count = 0;
};

// What the deck controller needs of the command link. SerOutPort implements it over a serial
// port; tests use fakes.
class CommandLink {
 public:
  virtual ~CommandLink() = default;
  // Writes the command, waits the reply wait and collects the reply: one serialised exchange.
  virtual SerialReply SendSerial(std::span<const std::uint8_t> command) = 0;
  // The serial port object exists (without it the controller does not poll or cue).
  virtual bool hasPort() const = 0;
  // The serial output stream exists (without it the status reads "No RS422 I/O").
  virtual bool hasOutStream() const = 0;
  // Counts the times the line was lost. A wait that started before a loss must not send its
  // frames to whatever deck answers after it: it compares this count before sending.
  virtual unsigned lineLosses() const { return 0; }
};
