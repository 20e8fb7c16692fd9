#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/TextCodec.h"

// The source EDL as a store of up to 999 text lines. Reading stops at the first line that does
// not begin with a printable ASCII character, at the 999th line, or at the end of the file. The
// lines read are UTF-8 when all of them are valid UTF-8; otherwise every byte is one ISO 8859-1
// character, so any file loads. Either way the stored lines are UTF-8 (see TextCodec).
class SourceEdl {
 public:
  static constexpr int capacity = 999;

  enum class ReadResult { Ok, NotFound, ReadError };

  SourceEdl() { newrawedl(); }

  // Refills every entry with the one-blank filler and forgets the loaded lines.
  void newrawedl();

  // Reads the file at path into the store (replacing it). Lines stored before a read error
  // stay. onLine, when given, sees every line read, including the one that ends the reading.
  ReadResult read(const std::string& path,
                  const std::function<void(const std::string&)>& onLine = {});

  // Whether reading may go on with this line: empty, or its first byte 0x20 to 0x7F.
  static bool lineok(std::string_view line);

  // The text of the source area: every stored line longer than one character, each with "\n".
  std::string showrawedl() const;

  int rawlinecount() const { return rawlinecount_; }
  // The encoding of the file last read; its recorder list is written back in it.
  TextCodec::Encoding encoding() const { return encoding_; }
  // Entry i of the store; the blank filler past the loaded lines and outside the store.
  const std::string& line(int i) const;

 private:
  // Decides the encoding of the lines read and stores them (all but a last one that ended the
  // reading), showing each to onLine.
  void store(std::vector<std::string>& lines, bool stopLine,
             const std::function<void(const std::string&)>& onLine);

  std::array<std::string, capacity> rawedl_;
  int rawlinecount_ = 0;
  TextCodec::Encoding encoding_ = TextCodec::Encoding::Utf8;
};
