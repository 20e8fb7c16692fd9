#pragma once

#include <string>

// A pseudo-terminal pair for tests: the test keeps the master, the program under test opens
// the slave by its path as it would a serial port.
class Pty {
 public:
  Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  ~Pty();

  bool ok() const { return master_ >= 0; }
  int master() const { return master_; }
  const std::string& slavePath() const { return slave_; }

 private:
  int master_ = -1;
  std::string slave_;
};
