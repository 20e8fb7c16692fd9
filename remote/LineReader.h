#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Assembles the lines a client sends out of the bytes as they arrive, whatever the chunking.
// A line ends at LF; a CR before the LF is dropped. A line longer than the cap is not kept: the
// reader skips to its end and reports it once as oversize, so one long line costs no memory
// and the lines after it are read as usual.
class LineReader {
 public:
  static constexpr std::size_t kMaxLine = 1024;

  struct Line {
    std::string text;
    bool oversize = false;  // the line exceeded the cap; text is empty
  };

  // Appends received bytes.
  void feed(std::string_view bytes);
  // The next complete line, if one is in.
  std::optional<Line> next();
  // Bytes of an unfinished line (a client that vanishes mid-line leaves them here).
  std::size_t pending() const { return buffer_.size() - start_; }

 private:
  std::string buffer_;
  std::size_t start_ = 0;  // where the next line begins in buffer_
  bool skipping_ = false;  // inside an oversize line, waiting for its end
};
