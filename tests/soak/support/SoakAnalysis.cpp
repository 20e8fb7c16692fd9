#include "soak/support/SoakAnalysis.h"

#include <algorithm>
#include <deque>

namespace {

const std::vector<std::uint8_t> kTimeRequest = {0x61, 0x0C, 0x03, 0x70};

struct Reply {
  std::int64_t inUs = 0;
  std::int64_t atUs = 0;  // sent or swallowed
  bool done = false;      // went out or was swallowed (not still queued at the hang-up)
  bool faulty = false;
};

std::optional<int> bcd(std::uint8_t b) {
  const int hi = b >> 4;
  const int lo = b & 0x0F;
  if (hi > 9 || lo > 9) {
    return std::nullopt;
  }
  return hi * 10 + lo;
}

}  // namespace

SoakAnalysis::SoakAnalysis(int splitEvery, int waitMs) : splitEvery_(splitEvery), waitMs_(waitMs) {}

bool SoakAnalysis::checksumOk(std::span<const std::uint8_t> frame) {
  if (frame.size() < 2) {
    return false;
  }
  unsigned sum = 0;
  for (std::size_t i = 0; i + 1 < frame.size(); ++i) {
    sum += frame[i];
  }
  return static_cast<std::uint8_t>(sum) == frame.back();
}

std::optional<int> SoakAnalysis::tapeFrame(std::span<const std::uint8_t> reply) {
  if (reply.size() != 7 || reply[0] != 0x74 || reply[1] != 0x04) {
    return std::nullopt;
  }
  // The top bits of the frame, second and minute bytes carry flags, not digits.
  const auto ff = bcd(reply[2] & 0x3F);
  const auto ss = bcd(reply[3] & 0x7F);
  const auto mm = bcd(reply[4] & 0x7F);
  const auto hh = bcd(reply[5] & 0x3F);
  if (!ff || !ss || !mm || !hh) {
    return std::nullopt;
  }
  return *hh * 108000 + *mm * 1800 + *ss * 30 + *ff;
}

SoakFindings SoakAnalysis::analyse(const std::vector<TranscriptEvent>& events) const {
  SoakFindings f;
  std::vector<Reply> replies;
  std::deque<std::size_t> queued;  // replies waiting for their OUT line, oldest first
  std::vector<std::int64_t> goodTimes;
  std::vector<std::int64_t> pollTimes;
  bool junkBefore = false;

  for (const TranscriptEvent& e : events) {
    if (e.tag == "IN") {
      if (f.frames == 0) {
        f.firstFrameUs = e.us;
      }
      ++f.frames;
      f.lastFrameUs = e.us;
      if (e.bytes == kTimeRequest) {
        ++f.polls;
        pollTimes.push_back(e.us);
      }
      replies.push_back({e.us, e.us, false, false});
      queued.push_back(replies.size() - 1);
    } else if (e.tag == "LOST") {
      // Logged right after the frame whose reply it swallowed.
      if (!queued.empty() && queued.back() == replies.size() - 1) {
        Reply& r = replies[queued.back()];
        queued.pop_back();
        r.atUs = e.us;
        r.done = true;
        r.faulty = true;
        ++f.lost;
      }
    } else if (e.tag == "JUNK") {
      junkBefore = true;
    } else if (e.tag == "OUT") {
      ++f.replies;
      if (queued.empty()) {
        continue;  // a reply to no frame: nothing to pair it with
      }
      const std::size_t index = queued.front();
      queued.pop_front();
      Reply& r = replies[index];
      r.atUs = e.us;
      r.done = true;
      const bool split =
          splitEvery_ > 0 && e.bytes.size() > 1 && (static_cast<int>(index) + 1) % splitEvery_ == 0;
      const bool corrupt = !checksumOk(e.bytes);
      const std::int64_t complete = e.us + (split ? kSplitSpanUs : 0);
      const bool late = complete - r.inUs > std::int64_t{waitMs_} * 1000;
      f.split += split ? 1 : 0;
      f.corrupt += corrupt ? 1 : 0;
      f.junk += junkBefore ? 1 : 0;
      f.late += late ? 1 : 0;
      r.faulty = split || corrupt || junkBefore || late;
      junkBefore = false;

      if (!r.faulty) {
        if (auto frame = tapeFrame(e.bytes)) {
          ++f.goodTimeReplies;
          goodTimes.push_back(e.us);
          if (f.lastTapeFrame && *frame < *f.lastTapeFrame) {
            ++f.timeBackwards;
          }
          if (!f.firstTapeFrame) {
            f.firstTapeFrame = frame;
            f.firstTimeUs = e.us;
          }
          f.lastTapeFrame = frame;
          f.lastTimeUs = e.us;
        }
      }
    } else if (e.tag == "TIMEOUT") {
      ++f.timeouts;
    } else if (e.tag == "HANGUP") {
      f.hangupUs = e.us;
    }
  }

  // Recovery: the first good time-data reply after each faulty reply.
  int run = 0;
  std::int64_t longestRunEndUs = 0;
  for (const Reply& r : replies) {
    if (!r.done) {
      continue;
    }
    if (!r.faulty) {
      run = 0;
      continue;
    }
    ++f.faultyReplies;
    if (++run > f.longestFaultRun) {
      f.longestFaultRun = run;
      longestRunEndUs = r.atUs;
    }
    const auto next = std::upper_bound(goodTimes.begin(), goodTimes.end(), r.atUs);
    if (next == goodTimes.end()) {
      f.unrecoveredUs.push_back(r.atUs);
    } else {
      ++f.recovered;
      f.maxRecoveryUs = std::max(f.maxRecoveryUs, *next - r.atUs);
    }
  }
  if (f.longestFaultRun > 0) {
    f.pollsAfterLongestRun = static_cast<int>(
        pollTimes.end() - std::upper_bound(pollTimes.begin(), pollTimes.end(), longestRunEndUs));
  }
  for (std::size_t i = 1; i < pollTimes.size(); ++i) {
    const std::int64_t gap = pollTimes[i] - pollTimes[i - 1];
    if (gap > f.maxPollGapUs) {
      f.maxPollGapUs = gap;
      f.maxPollGapAtUs = pollTimes[i];
    }
  }
  return f;
}
