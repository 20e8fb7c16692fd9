#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "soak/support/TranscriptEvent.h"

// Follows a transcript another process is still writing: each poll() takes the lines finished
// since the last one, so a long run never reads the whole file again. A line cut short at the
// end of the file is kept until its newline arrives.
class TranscriptFollower {
 public:
  explicit TranscriptFollower(std::string path);

  // Reads what was appended; answers how many events it added.
  std::size_t poll();
  const std::vector<TranscriptEvent>& events() const { return events_; }
  // Events whose tag is this, and whose bytes are these when any are given.
  std::size_t count(const std::string& tag, const std::vector<std::uint8_t>& bytes = {}) const;
  bool sawHangup() const { return hangup_; }
  // Lines that did not parse (a fault of the emulator or of this reader).
  std::size_t badLines() const { return badLines_; }

 private:
  std::string path_;
  std::ifstream in_;
  std::string partial_;
  std::vector<TranscriptEvent> events_;
  bool hangup_ = false;
  std::size_t badLines_ = 0;
};
