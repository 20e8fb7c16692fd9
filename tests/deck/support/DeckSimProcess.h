#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// Runs orva-decksim as a child process on a pseudo-terminal with a transcript, for tests that
// drive the real command link. The destructor ends the child (by its own pid) and reaps it.
class DeckSimProcess {
 public:
  struct Line {
    std::int64_t us = 0;  // monotonic microseconds
    bool in = false;      // IN: a frame the deck received; OUT: its reply
    std::string hex;
  };

  static std::string binaryPath();
  // Starts the emulator with the given extra arguments; check ok() and error() afterwards.
  DeckSimProcess(const std::vector<std::string>& args, const std::string& transcriptPath);
  ~DeckSimProcess();
  DeckSimProcess(const DeckSimProcess&) = delete;
  DeckSimProcess& operator=(const DeckSimProcess&) = delete;

  bool ok() const { return !slave_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& slavePath() const { return slave_; }
  std::vector<Line> transcript() const;

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string slave_;
  std::string error_;
  std::string transcriptPath_;
};
