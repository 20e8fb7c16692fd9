#include "sim/FrameAssembler.h"

bool FrameAssembler::isShuttleFrame(const std::vector<std::uint8_t>& frame) {
  return frame.size() == 4 && frame[0] == 0x21 && (frame[1] == 0x13 || frame[1] == 0x23);
}

std::optional<FrameAssembler::Event> FrameAssembler::expire(std::int64_t nowUs) {
  if (nowUs - lastByteUs_ < kByteTimeoutUs)
    return std::nullopt;
  padAllowed_ = false;
  if (partial_.empty())
    return std::nullopt;
  Event e{Event::Kind::TimedOut, nowUs, std::move(partial_)};
  partial_.clear();
  return e;
}

std::optional<std::int64_t> FrameAssembler::deadline() const {
  if (partial_.empty() && !padAllowed_)
    return std::nullopt;
  return lastByteUs_ + kByteTimeoutUs;
}

std::vector<FrameAssembler::Event> FrameAssembler::feed(const std::uint8_t* data, std::size_t count,
                                                        std::int64_t nowUs) {
  std::vector<Event> events;
  if (count == 0)
    return events;
  if (auto dropped = expire(nowUs))
    events.push_back(std::move(*dropped));
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t b = data[i];
    lastByteUs_ = nowUs;
    if (partial_.empty() && padAllowed_) {
      padAllowed_ = false;
      if (b == 0x00) {
        events.push_back({Event::Kind::Pad, nowUs, {b}});
        continue;
      }
    }
    partial_.push_back(b);
    const std::size_t wanted = 3 + (partial_[0] & 0x0F);
    if (partial_.size() == wanted) {
      padAllowed_ = isShuttleFrame(partial_);
      events.push_back({Event::Kind::Frame, nowUs, std::move(partial_)});
      partial_.clear();
    }
  }
  return events;
}
