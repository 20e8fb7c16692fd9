#include "sim/FrameAssembler.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = FrameAssembler::Event::Kind;

const Bytes kPlay = {0x20, 0x01, 0x21};
const Bytes kTimeSense = {0x61, 0x0C, 0x03, 0x70};
const Bytes kCue = {0x24, 0x31, 0x00, 0x01, 0x01, 0x00, 0x57};
const Bytes kShuttle = {0x21, 0x13, 0x20, 0x54, 0x00};  // with the trailing pad byte
const Bytes kStatus = {0x61, 0x20, 0x09, 0x8A};

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts)
    all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::vector<Bytes> framesOf(const std::vector<FrameAssembler::Event>& events) {
  std::vector<Bytes> frames;
  for (const auto& e : events) {
    if (e.kind == Kind::Frame)
      frames.push_back(e.bytes);
  }
  return frames;
}

const std::vector<Bytes> kExpected = {kPlay, kTimeSense,
                                      Bytes(kShuttle.begin(), kShuttle.end() - 1), kCue, kStatus};

TEST(FrameAssembler, SeveralFramesInOneChunk) {
  FrameAssembler a;
  const Bytes stream = concat({kPlay, kTimeSense, kShuttle, kCue, kStatus});
  const auto events = a.feed(stream.data(), stream.size(), 0);
  EXPECT_EQ(framesOf(events), kExpected);
  EXPECT_EQ(a.pendingBytes(), 0u);
}

TEST(FrameAssembler, SplitAtEveryOffsetGivesTheSameFrames) {
  const Bytes stream = concat({kPlay, kTimeSense, kShuttle, kCue, kStatus});
  for (std::size_t cut1 = 0; cut1 <= stream.size(); ++cut1) {
    for (std::size_t cut2 = cut1; cut2 <= stream.size(); ++cut2) {
      FrameAssembler a;
      std::vector<Bytes> frames;
      auto take = [&](std::size_t from, std::size_t to, std::int64_t t) {
        for (auto& f : framesOf(a.feed(stream.data() + from, to - from, t)))
          frames.push_back(f);
      };
      // Chunks arrive 1 ms apart, well inside the byte time-out.
      take(0, cut1, 0);
      take(cut1, cut2, 1000);
      take(cut2, stream.size(), 2000);
      ASSERT_EQ(frames, kExpected) << "cuts at " << cut1 << " and " << cut2;
    }
  }
}

TEST(FrameAssembler, LongestFrameHoldsFifteenDataBytes) {
  Bytes frame = {0x6F, 0x20};
  frame.resize(17, 0x11);
  frame.push_back(0x42);
  FrameAssembler a;
  const auto events = a.feed(frame.data(), frame.size(), 0);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].bytes.size(), 18u);
}

TEST(FrameAssembler, PartialFrameIsDroppedAfterTenMillisecondsOfSilence) {
  FrameAssembler a;
  a.feed(kTimeSense.data(), 2, 0);
  EXPECT_EQ(a.deadline(), std::optional<std::int64_t>(10000));
  EXPECT_FALSE(a.expire(9999));
  EXPECT_EQ(a.pendingBytes(), 2u);
  auto dropped = a.expire(10000);
  ASSERT_TRUE(dropped);
  EXPECT_EQ(dropped->kind, Kind::TimedOut);
  EXPECT_EQ(dropped->bytes, (Bytes{0x61, 0x0C}));
  EXPECT_EQ(a.pendingBytes(), 0u);
  EXPECT_FALSE(a.deadline());
}

TEST(FrameAssembler, LateBytesStartAFreshFrame) {
  FrameAssembler a;
  a.feed(kTimeSense.data(), 2, 0);
  // The rest comes just within the time-out: one frame.
  auto events = a.feed(kTimeSense.data() + 2, 2, 9999);
  EXPECT_EQ(framesOf(events), (std::vector<Bytes>{kTimeSense}));

  // Without an expire() call in between, a late byte still drops the stale partial first.
  a.feed(kTimeSense.data(), 2, 20000);
  events = a.feed(kPlay.data(), kPlay.size(), 30000);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, Kind::TimedOut);
  EXPECT_EQ(events[1].bytes, kPlay);
}

TEST(FrameAssembler, PadAfterShuttleIsSwallowedEvenWhenTheNextCommandFollowsAtOnce) {
  FrameAssembler a;
  const Bytes stream = concat({kShuttle, kTimeSense});
  const auto events = a.feed(stream.data(), stream.size(), 0);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].kind, Kind::Frame);
  EXPECT_EQ(events[1].kind, Kind::Pad);
  EXPECT_EQ(events[2].bytes, kTimeSense);
}

TEST(FrameAssembler, ZeroIsNoPadAfterOtherFramesOrAfterTheTimeOut) {
  FrameAssembler a;
  const Bytes zero = {0x00};
  a.feed(kPlay.data(), kPlay.size(), 0);
  a.feed(zero.data(), 1, 0);
  EXPECT_EQ(a.pendingBytes(), 1u);  // the start of a group-0 frame
  ASSERT_TRUE(a.expire(10000));

  a.feed(kShuttle.data(), 4, 20000);
  a.feed(zero.data(), 1, 30000);  // too late to be the shuttle frame's pad
  EXPECT_EQ(a.pendingBytes(), 1u);
  // A lone 00 is dropped by the byte time-out too.
  auto dropped = a.expire(40000);
  ASSERT_TRUE(dropped);
  EXPECT_EQ(dropped->bytes, zero);
}

}  // namespace
