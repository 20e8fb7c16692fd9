#include "serial/support/WaitFor.h"

#include <thread>

bool waitFor(const std::function<bool()>& cond, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!cond()) {
    if (std::chrono::steady_clock::now() >= end) {
      return cond();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
