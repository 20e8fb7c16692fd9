#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// What a soak run's transcript shows about the controller and the faults it met. Times are the
// transcript's microseconds.
struct SoakFindings {
  int frames = 0;   // complete frames the deck received
  int polls = 0;    // of them, timecode requests (61 0C 03 70)
  int replies = 0;  // replies that went out

  // Faults by kind; one reply may carry several.
  int lost = 0;      // swallowed
  int corrupt = 0;   // wrong checksum
  int junk = 0;      // stray bytes before it
  int split = 0;     // sent in parts
  int late = 0;      // complete only after the controller's reply wait
  int timeouts = 0;  // frames from the controller that the deck dropped unfinished

  int faultyReplies = 0;                    // replies with at least one fault
  int recovered = 0;                        // faulty replies followed by a good time-data reply
  std::vector<std::int64_t> unrecoveredUs;  // when the faults without a later good reply were
  std::int64_t maxRecoveryUs = 0;           // longest wait from a fault to the next good time

  std::int64_t maxPollGapUs = 0;    // longest pause between two timecode requests
  std::int64_t maxPollGapAtUs = 0;  // when the request that ended it came
  int longestFaultRun = 0;          // most faulty replies in a row
  int pollsAfterLongestRun = 0;     // timecode requests after that run

  int goodTimeReplies = 0;  // clean time-data replies
  int timeBackwards = 0;    // of them, ones showing an earlier tape time than the one before
  std::optional<int> firstTapeFrame;
  std::optional<int> lastTapeFrame;
  std::int64_t firstTimeUs = 0;
  std::int64_t lastTimeUs = 0;

  std::int64_t firstFrameUs = 0;
  std::int64_t lastFrameUs = 0;
  std::optional<std::int64_t> hangupUs;
};
