#include "sim/FaultInjector.h"

#include <utility>

FaultInjector::FaultInjector(const EmulatorOptions& options)
    : options_(options), rng_(options.seed) {}

FaultInjector::Outcome FaultInjector::shape(std::vector<std::uint8_t> reply, std::int64_t nowUs) {
  Outcome out;
  ++count_;
  // The probability draw happens for every reply, so the sequence of drops for a seed does not
  // depend on which other faults are on.
  const bool dropByChance = options_.dropProb > 0.0 && std::uniform_real_distribution<double>(
                                                           0.0, 1.0)(rng_) < options_.dropProb;
  if (hits(options_.dropEvery, count_) || dropByChance) {
    out.lost = true;
    return out;
  }
  if (hits(options_.corruptEvery, count_) && !reply.empty())
    reply.back() ^= 0x5A;

  const std::int64_t due = nowUs + std::int64_t{options_.replyDelayMs} * 1000;
  if (hits(options_.garbageEvery, count_)) {
    const int n = std::uniform_int_distribution<int>(1, 3)(rng_);
    std::vector<std::uint8_t> junk;
    for (int i = 0; i < n; ++i) {
      junk.push_back(static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(rng_)));
    }
    out.writes.push_back({due, junk, "JUNK", junk});
  }
  if (hits(options_.splitEvery, count_) && reply.size() > 1) {
    // First byte, then the middle, then the last byte: the controller sees a short reply if
    // it reads between the parts.
    std::vector<std::vector<std::uint8_t>> parts;
    parts.push_back({reply.front()});
    if (reply.size() > 2)
      parts.emplace_back(reply.begin() + 1, reply.end() - 1);
    parts.push_back({reply.back()});
    for (std::size_t i = 0; i < parts.size(); ++i) {
      ScheduledWrite w{due + std::int64_t(i) * kSplitGapUs, std::move(parts[i]), nullptr, {}};
      if (i == 0) {
        w.tag = "OUT";
        w.logged = reply;
      }
      out.writes.push_back(std::move(w));
    }
    return out;
  }
  out.writes.push_back({due, reply, "OUT", reply});
  return out;
}
