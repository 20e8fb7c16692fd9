#include "deck/ScriptFile.h"

ScriptFile::ScriptFile(const std::string& path) : in_(path, std::ios::binary) {}

std::optional<std::string> ScriptFile::next() {
  if (!in_.is_open() || !in_.good()) {
    return std::nullopt;
  }
  std::string line;
  bool any = false;
  for (;;) {
    const int c = in_.get();
    if (c == std::char_traits<char>::eof()) {
      // A last line without terminator still counts; a read error ends the file here.
      if (in_.bad() || !any) {
        return std::nullopt;
      }
      return line;
    }
    any = true;
    if (c == '\n') {
      return line;
    }
    if (c == '\r') {
      if (in_.peek() == '\n') {
        in_.get();
      }
      return line;
    }
    line.push_back(static_cast<char>(c));
  }
}
