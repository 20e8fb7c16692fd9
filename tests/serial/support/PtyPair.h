#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// A pseudo-terminal for tests: the test plays the deck on the master side, and the code under
// test opens the slave path as its serial port.
class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& slavePath() const { return slave_; }
  bool ok() const { return master_ >= 0; }
  void write(const std::vector<std::uint8_t>& bytes);
  // Reads what the slave side sent until `count` bytes came or the deadline passed.
  std::vector<std::uint8_t> read(std::size_t count,
                                 std::chrono::milliseconds deadline = std::chrono::seconds(2));
  // Closes the master: the slave side sees the device vanish.
  void closeMaster();
  int masterFd() const { return master_; }

 private:
  int master_ = -1;
  std::string slave_;
};

// Plays a deck on the master side of a pty on its own thread: each chunk of bytes the slave
// side writes is handed to `answer`, and what it returns is written back (nothing when empty).
class PtyResponder {
 public:
  using Answer = std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>&)>;
  PtyResponder(PtyPair& pty, Answer answer);
  ~PtyResponder();
  PtyResponder(const PtyResponder&) = delete;
  PtyResponder& operator=(const PtyResponder&) = delete;

 private:
  PtyPair& pty_;
  Answer answer_;
  std::jthread thread_;
};

// Polls `cond` until it holds or the deadline passes; answers its last value.
bool waitFor(const std::function<bool()>& cond,
             std::chrono::milliseconds deadline = std::chrono::seconds(2));
