#pragma once

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "serial/support/PtyPair.h"

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
