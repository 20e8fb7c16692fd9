#pragma once

#include <chrono>
#include <functional>
#include <thread>

// Checks a condition in short steps until it holds or the limit has passed; answers whether it
// came true. Tests wait with this instead of sleeping a fixed time.
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}
