#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "sim/EmulatorOptions.h"

// A clock that moves only when the test says so; copies share one time.
class ManualClock {
 public:
  SimClockFn fn() const {
    auto t = t_;
    return [t] { return t->load(); };
  }
  std::int64_t now() const { return t_->load(); }
  void advanceUs(std::int64_t us) { t_->fetch_add(us); }
  void advanceMs(std::int64_t ms) { advanceUs(ms * 1000); }
  // Rounded up to the next microsecond, so the frame has fully begun.
  void advanceFrames(int frames) { advanceUs((std::int64_t{frames} * 1000000 + 29) / 30); }

 private:
  std::shared_ptr<std::atomic<std::int64_t>> t_ =
      std::make_shared<std::atomic<std::int64_t>>(5'000'000);
};
