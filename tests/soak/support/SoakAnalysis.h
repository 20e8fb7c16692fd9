#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "soak/support/SoakFindings.h"
#include "soak/support/TranscriptEvent.h"

// Reads a deck emulator transcript of a soak run: pairs every received frame with its reply,
// tells which replies were faulty, whether a good timecode reply followed each of them, how
// regularly the controller polled and whether the tape time moved on.
//
// Replies are numbered like the emulator numbers them: one per received frame, in order. A LOST
// line follows the frame it swallowed; OUT lines come in the order of their frames, so the n-th
// reply not lost is the n-th OUT. Split replies are not marked in a transcript: they are the
// ones whose number is a multiple of the emulator's split period.
class SoakAnalysis {
 public:
  // splitEvery: the emulator's split period (0: none); waitMs: the controller's reply wait.
  SoakAnalysis(int splitEvery, int waitMs);

  SoakFindings analyse(const std::vector<TranscriptEvent>& events) const;

  // The last byte is the low byte of the sum of the others.
  static bool checksumOk(std::span<const std::uint8_t> frame);
  // The tape position of a time-data reply (74 04 ff ss mm hh cs) in frames at 30 frames/s.
  static std::optional<int> tapeFrame(std::span<const std::uint8_t> reply);

  static constexpr std::int64_t kSplitSpanUs = 2000;  // first to last part of a split reply

 private:
  int splitEvery_;
  int waitMs_;
};
