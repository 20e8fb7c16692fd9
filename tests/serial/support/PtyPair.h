#pragma once

#include <chrono>
#include <cstdint>
#include <string>
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
