#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "app/TextCodec.h"

// A script file read line by line. A line ends at a line feed, a carriage return, or a carriage
// return followed by a line feed; the terminator is not part of the line and nothing is trimmed.
// The file is read whole when the object is made and closed at once: a file that is valid UTF-8
// gives its lines as they are, any other file is taken as ISO 8859-1 and its lines come out in
// UTF-8, so that the runner counts characters. A read error ends the file where it happened.
class ScriptFile {
 public:
  explicit ScriptFile(const std::string& path);
  bool isOpen() const { return open_; }
  TextCodec::Encoding encoding() const { return encoding_; }
  // The next line, or nothing at the end of the file.
  std::optional<std::string> next();

 private:
  bool open_ = false;
  TextCodec::Encoding encoding_ = TextCodec::Encoding::Utf8;
  std::string text_;
  std::size_t pos_ = 0;
};
