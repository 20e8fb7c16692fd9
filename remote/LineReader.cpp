#include "remote/LineReader.h"

void LineReader::feed(std::string_view bytes) {
  // Consumed bytes are dropped before new ones come in, so the buffer holds at most one
  // unfinished line plus what this call adds.
  if (start_ > 0) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  buffer_.append(bytes);
}

std::optional<LineReader::Line> LineReader::next() {
  for (;;) {
    const std::size_t end = buffer_.find('\n', start_);
    if (skipping_) {
      if (end == std::string::npos) {
        buffer_.clear();
        start_ = 0;
        return std::nullopt;
      }
      start_ = end + 1;
      skipping_ = false;
      return Line{{}, true};
    }
    if (end == std::string::npos) {
      if (pending() > kMaxLine + 1) {
        // The cap counts the line without its CR LF (the CR may be in already); nothing of it
        // is kept.
        skipping_ = true;
        continue;
      }
      return std::nullopt;
    }
    std::size_t len = end - start_;
    if (len > 0 && buffer_[end - 1] == '\r') {
      --len;
    }
    if (len > kMaxLine) {
      start_ = end + 1;
      return Line{{}, true};
    }
    Line line{buffer_.substr(start_, len), false};
    start_ = end + 1;
    return line;
  }
}
