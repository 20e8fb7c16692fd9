#include "deck/StopLatency.h"

#include <algorithm>
#include <cmath>

StopLatency::StopLatency(std::optional<int> fixed) : fixed_(fixed) {
  if (fixed_) {
    fixed_ = std::clamp(*fixed_, 0, kMaxFrames);
  }
}

int StopLatency::frames() const {
  if (fixed_) {
    return *fixed_;
  }
  return std::clamp(static_cast<int>(std::lround(estimate_)), 0, kMaxFrames);
}

bool StopLatency::learn(int observed) {
  if (fixed_) {
    return false;
  }
  const int before = frames();
  ++reviews_;
  const double gain = std::max(1.0 / reviews_, 0.25);
  estimate_ += gain * (std::clamp(observed, 0, kMaxFrames) - estimate_);
  return frames() != before;
}
