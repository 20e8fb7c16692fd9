#pragma once

#include <string>

// The parts of a port name that every platform's driver reads the same way.
class PortName {
 public:
  // "COM3" -> 3 (any letter case, up to three digits), and so for "\\.\COM3" and "COM3:";
  // 0 when the name is not of that form.
  static int comNumber(const std::string& name);
};
