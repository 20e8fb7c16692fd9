#include "deck/PlayPredictor.h"

#include <algorithm>
#include <cmath>

namespace {
// Replies may disagree by this much before the range starts again: the steady clock and the
// deck's frame clock are read by different machines.
constexpr double kSlackNs = 300'000;
}  // namespace

PlayPredictor::PlayPredictor(TimecodeRate rate)
    : periodNs_(rate.dropFrame() ? 1001e9 / 30000 : 1e9 / rate.nominal()) {}

double PlayPredictor::ns(Clock::time_point t) const {
  return std::chrono::duration<double, std::nano>(t - base_).count();
}

void PlayPredictor::reset() {
  replies_ = 0;
}

void PlayPredictor::startFrom(int frame, Clock::time_point sent, Clock::time_point read) {
  base_ = sent;
  baseFrame_ = frame;
  // The deck was in the frame at some moment s in [sent, read]: the frame began after
  // s - period and no later than s.
  lo_ = -periodNs_;
  hi_ = ns(read);
  lastFrame_ = frame;
  lastRead_ = read;
  replies_ = 1;
}

void PlayPredictor::observe(int frame, Clock::time_point sent, Clock::time_point read) {
  if (replies_ == 0 || frame <= lastFrame_) {
    startFrom(frame, sent, read);
    return;
  }
  const double offset = (frame - baseFrame_) * periodNs_;
  const double lo = std::max(lo_, ns(sent) - periodNs_ - offset);
  const double hi = std::min(hi_, ns(read) - offset);
  if (lo > hi + kSlackNs) {
    startFrom(frame, sent, read);
    return;
  }
  if (lo > hi) {
    lo_ = hi_ = (lo + hi) / 2;
  } else {
    lo_ = lo;
    hi_ = hi;
  }
  lastFrame_ = frame;
  lastRead_ = read;
  ++replies_;
}

std::optional<PlayPredictor::Clock::time_point> PlayPredictor::stopInstant(int restFrame,
                                                                           int latency) const {
  if (!predictable()) {
    return std::nullopt;
  }
  const double frames = restFrame - latency - baseFrame_ + 0.5;
  const double at = (lo_ + hi_) / 2 + frames * periodNs_;
  return base_ + std::chrono::duration_cast<Clock::duration>(
                     std::chrono::duration<double, std::nano>(std::round(at)));
}

std::optional<int> PlayPredictor::frameAt(Clock::time_point t) const {
  if (!predictable()) {
    return std::nullopt;
  }
  const double rel = ns(t);
  const double early = std::floor((rel - hi_) / periodNs_);
  const double late = std::floor((rel - lo_) / periodNs_);
  if (early != late) {
    return std::nullopt;
  }
  return baseFrame_ + static_cast<int>(early);
}
