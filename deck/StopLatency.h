#pragma once

#include <optional>

// How many frames after a Stop arrives the deck comes to rest, learned from its reviews: each
// review that ended on a predicted stop shows where the deck rested against the frame it was in
// when the Stop arrived. The estimate starts at 0 and moves towards each observation, at first
// as the mean of all of them and later by a quarter of the difference, so a steady deck is
// learned from its first review on and one odd review cannot move it by a whole frame. A value
// fixed by the settings is never learned over.
class StopLatency {
 public:
  static constexpr int kMaxFrames = 10;

  explicit StopLatency(std::optional<int> fixed = std::nullopt);

  // The latency to plan with: the estimate rounded, within 0 to kMaxFrames.
  int frames() const;
  bool fixed() const { return fixed_.has_value(); }
  // Reviews learned from so far.
  int reviews() const { return reviews_; }
  // One review's observation, in frames (clamped to 0 to kMaxFrames). Answers true when
  // frames() changed.
  bool learn(int observed);

 private:
  std::optional<int> fixed_;
  double estimate_ = 0;
  int reviews_ = 0;
};
