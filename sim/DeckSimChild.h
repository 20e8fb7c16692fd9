#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// orva-decksim as a child process with a transcript file: started in the constructor, ended
// (SIGTERM to its own pid, then reaped) in the destructor.
class DeckSimChild {
 public:
  struct Line {
    std::int64_t us = 0;  // CLOCK_MONOTONIC microseconds
    bool in = false;      // IN: a frame the deck received; OUT: a reply it sent
    std::string tag;
    std::string hex;
  };

  DeckSimChild(const std::string& program, const std::string& transcriptPath,
               const std::vector<std::string>& extraArgs = {});
  ~DeckSimChild();
  DeckSimChild(const DeckSimChild&) = delete;
  DeckSimChild& operator=(const DeckSimChild&) = delete;

  bool ok() const { return !slave_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& slavePath() const { return slave_; }
  pid_t pid() const { return pid_; }

  // User + system CPU time the child has used so far, in seconds (from /proc/<pid>/stat).
  double cpuSeconds() const;
  // The transcript as written so far. Lines that do not parse are skipped.
  std::vector<Line> transcript() const;
  static std::vector<Line> readTranscript(const std::string& path);
  // "74 04 00 ..." -> the bytes.
  static std::vector<std::uint8_t> bytesOf(const std::string& hex);
  // The frame count of a timecode reply (74 04 ff ss mm hh sum), or -1 when it is not one.
  static int framesOfReply(const std::string& hex);

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string slave_;
  std::string error_;
  std::string transcriptPath_;
};
