#include "serial/port/PortName.h"

#include <cctype>
#include <string_view>

int PortName::comNumber(const std::string& name) {
  std::string_view s = name;
  // The forms Windows documents for the same port: \\.\COM21 (the device namespace, which
  // reaches every port) and COM21: (the device name as a file name).
  if (s.substr(0, 4) == "\\\\.\\") {
    s.remove_prefix(4);
  } else if (!s.empty() && s.back() == ':') {
    s.remove_suffix(1);
  }
  if (s.size() < 4 || s.size() > 6) {
    return 0;
  }
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(s[i])) != "COM"[i]) {
      return 0;
    }
  }
  int n = 0;
  for (std::size_t i = 3; i < s.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) {
      return 0;
    }
    n = n * 10 + (s[i] - '0');
  }
  return n;
}
