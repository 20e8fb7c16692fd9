#pragma once

#include <fstream>
#include <optional>
#include <string>

// A script file read line by line. A line ends at a line feed, a carriage return, or a carriage
// return followed by a line feed; the terminator is not part of the line and nothing is trimmed.
// The file is closed when the object goes away, on every path.
class ScriptFile {
 public:
  explicit ScriptFile(const std::string& path);
  bool isOpen() const { return in_.is_open(); }
  // The next line, or nothing at the end of the file or after a read error.
  std::optional<std::string> next();

 private:
  std::ifstream in_;
};
