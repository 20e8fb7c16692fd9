#pragma once

#include <cstdint>

// The time base of the emulator and its transcript: CLOCK_MONOTONIC in microseconds, the same
// clock as std::chrono::steady_clock on Linux, so another process can compare timestamps.
class SimClock {
 public:
  static std::int64_t nowMicros();
};
