#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "sim/EmulatorOptions.h"
#include "sim/ScheduledWrite.h"

// Turns each reply of the deck into the writes that actually reach the line, applying the
// faults the options ask for: a late reply, a dropped reply, a wrong checksum, stray bytes
// before the reply, or a reply split into parts about 1 ms apart. Replies are counted from 1
// and every "every N" fault counts on its own, so faults combine predictably.
class FaultInjector {
 public:
  static constexpr std::int64_t kSplitGapUs = 1000;

  explicit FaultInjector(const EmulatorOptions& options);

  struct Outcome {
    std::vector<ScheduledWrite> writes;
    bool lost = false;  // the reply was swallowed; writes is empty
  };
  Outcome shape(std::vector<std::uint8_t> reply, std::int64_t nowUs);

  int repliesSeen() const { return count_; }

 private:
  static bool hits(int every, int count) { return every > 0 && count % every == 0; }

  EmulatorOptions options_;
  std::mt19937 rng_;
  int count_ = 0;
};
