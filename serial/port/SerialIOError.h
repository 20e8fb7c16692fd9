#pragma once

#include <stdexcept>
#include <string>

// A failure of the serial port; the message is one of the port layer's fixed texts.
class SerialIOError : public std::runtime_error {
 public:
  explicit SerialIOError(const std::string& what) : std::runtime_error(what) {}
};
