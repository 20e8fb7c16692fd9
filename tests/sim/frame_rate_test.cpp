// The emulated tape at 30, 29.97 drop-frame, 25 and 24 frames/s: its clock, its labels, cue-up
// targets, the end of the tape and the command-line options that choose them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/DeckEmulator.h"
#include "sim/SimCommandLine.h"
#include "sim/SimTimecode.h"
#include "sim/StatusLine.h"
#include "support/ManualClock.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = FrameRate::Kind;

Bytes talk(DeckEmulator& deck, const Bytes& withoutSum) {
  Bytes out;
  for (const auto& w : deck.receive(SimTimecode::withChecksum(withoutSum)))
    out.insert(out.end(), w.bytes.begin(), w.bytes.end());
  return out;
}

// The four time bytes of an LTC time sense reply.
Bytes timeBytes(DeckEmulator& deck) {
  const Bytes r = talk(deck, {0x61, 0x0C, 0x01});
  return r.size() == 7 ? Bytes(r.begin() + 2, r.end() - 1) : Bytes{};
}

TEST(FrameRate, PlayedTimecodeAndTheTapeEndFollowTheRate) {
  struct Case {
    Kind rate;
    std::int64_t playUs;
    Bytes expected;  // time sense bytes after playing from 00:00:00:00
  };
  const Case cases[] = {
      {Kind::Fps30, 1'000'000, {0x00, 0x01, 0x00, 0x00}},
      {Kind::Fps25, 1'000'000, {0x00, 0x01, 0x00, 0x00}},
      {Kind::Fps25, 999'000, {0x24, 0x00, 0x00, 0x00}},
      {Kind::Fps24, 999'000, {0x23, 0x00, 0x00, 0x00}},
      {Kind::Fps24, 1'000'000, {0x00, 0x01, 0x00, 0x00}},
      // 29.97 frames in a second; the drop-frame flag in every frames byte.
      {Kind::Fps2997Df, 1'000'000, {0x69, 0x00, 0x00, 0x00}},
      // One minute is 1798.2 frames: 00:00:59:28 ...
      {Kind::Fps2997Df, 60'000'000, {0x68, 0x59, 0x00, 0x00}},
      // ... and ten minutes 17982 frames, exactly 00:10:00:00.
      {Kind::Fps2997Df, 600'000'000, {0x40, 0x00, 0x10, 0x00}},
  };
  for (const auto& c : cases) {
    const FrameRate rate(c.rate);
    SCOPED_TRACE(rate.name() + " after " + std::to_string(c.playUs) + " us");
    ManualClock clock;
    EmulatorOptions o;
    o.clock = clock.fn();
    o.rate = rate;
    DeckEmulator deck(o);
    talk(deck, {0x20, 0x01});
    clock.advanceUs(c.playUs);
    EXPECT_EQ(timeBytes(deck), c.expected);
    // Winding into the end stops at two hours of the rate's labels.
    talk(deck, {0x20, 0x10});
    clock.advanceMs(10 * 60 * 1000);
    const std::uint8_t flag = rate.dropFrame() ? 0x40 : 0x00;
    EXPECT_EQ(timeBytes(deck), (Bytes{flag, 0x00, 0x00, 0x02}));
    EXPECT_EQ(deck.mode(), TransportMode::Stop);
  }
}

TEST(FrameRate, DropFrameSkipsTwoLabelsAtEachMinuteButNotEveryTenth) {
  const FrameRate df(Kind::Fps2997Df);
  const std::pair<int, const char*> labels[] = {
      {1799, "00:00:59:29"},   {1800, "00:01:00:02"},   {3597, "00:01:59:29"},
      {3598, "00:02:00:02"},   {17981, "00:09:59:29"},  {17982, "00:10:00:00"},
      {17983, "00:10:00:01"},  {19781, "00:10:59:29"},  {19782, "00:11:00:02"},
      {107891, "00:59:59:29"}, {107892, "01:00:00:00"}, {107893, "01:00:00:01"},
  };
  for (const auto& [frame, text] : labels) {
    EXPECT_EQ(SimTimecode::format(frame, df), text);
    EXPECT_EQ(SimTimecode::parse(text, df), frame) << text;
  }
  // Every frame of two hours has its own label, and labels keep their order.
  std::string previous;
  for (int f = 0; f <= 2 * df.framesPerHour(); ++f) {
    const std::string text = SimTimecode::format(f, df);
    ASSERT_EQ(SimTimecode::parse(text, df), f) << text;
    ASSERT_LT(previous, text);
    previous = text;
  }
  // Skipped labels and frames past the rate are not times.
  EXPECT_FALSE(SimTimecode::parse("00:01:00:00", df));
  EXPECT_FALSE(SimTimecode::parse("00:01:00:01", df));
  EXPECT_TRUE(SimTimecode::parse("00:10:00:00", df));
  EXPECT_FALSE(SimTimecode::parse("00:00:00:25", FrameRate(Kind::Fps25)));
}

TEST(FrameRate, CueUpLandsOnTheTargetLabel) {
  struct Case {
    Kind rate;
    Bytes target;  // cue-up data, frames first
    Bytes lands;   // time sense bytes when cued up
  };
  const Case cases[] = {
      {Kind::Fps2997Df, {0x42, 0x00, 0x01, 0x00}, {0x42, 0x00, 0x01, 0x00}},
      {Kind::Fps2997Df, {0x15, 0x30, 0x37, 0x01}, {0x55, 0x30, 0x37, 0x01}},
      // A skipped label: the deck goes to the label after it.
      {Kind::Fps2997Df, {0x00, 0x00, 0x01, 0x00}, {0x42, 0x00, 0x01, 0x00}},
      {Kind::Fps2997Df, {0x00, 0x00, 0x20, 0x00}, {0x40, 0x00, 0x20, 0x00}},
      {Kind::Fps25, {0x24, 0x10, 0x00, 0x00}, {0x24, 0x10, 0x00, 0x00}},
      // Frames past the rate are clamped into the second.
      {Kind::Fps25, {0x29, 0x10, 0x00, 0x00}, {0x24, 0x10, 0x00, 0x00}},
      {Kind::Fps30, {0x29, 0x10, 0x00, 0x00}, {0x29, 0x10, 0x00, 0x00}},
  };
  for (const auto& c : cases) {
    const FrameRate rate(c.rate);
    SCOPED_TRACE(rate.name());
    ManualClock clock;
    EmulatorOptions o;
    o.clock = clock.fn();
    o.rate = rate;
    DeckEmulator deck(o);
    Bytes cue = {0x24, 0x31};
    cue.insert(cue.end(), c.target.begin(), c.target.end());
    talk(deck, cue);
    clock.advanceMs(5000);
    EXPECT_TRUE(deck.cuedUp());
    EXPECT_EQ(timeBytes(deck), c.lands);
  }
}

TEST(FrameRate, CommandLineReadsTimesAtTheChosenRate) {
  auto r = SimCommandLine::parse({"--start", "00:11:00:02", "--fps", "29.97df", "--end",
                                  "01:00:00:00", "--device-id", "1a2B", "--quiet"});
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.options.rate, FrameRate(Kind::Fps2997Df));
  EXPECT_EQ(r.options.startFrame, 19782);
  EXPECT_EQ(r.options.endFrame, 107892);
  EXPECT_EQ(r.options.deviceId, (std::array<std::uint8_t, 2>{0x1A, 0x2B}));
  EXPECT_TRUE(r.quiet);
  EXPECT_EQ(SimCommandLine::parse({"--fps", "25", "--start", "00:00:01:00"}).options.startFrame,
            25);
  EXPECT_EQ(SimCommandLine::parse({"--fps", "24", "--start", "00:00:01:00"}).options.startFrame,
            24);
  const std::vector<std::vector<std::string>> bad = {
      {"--fps", "23.976"},
      {"--start", "00:00:00:24", "--fps", "24"},
      {"--fps", "29.97"},
      {"--fps", "29.97df", "--start", "00:01:00:00"},
      {"--start", "00:00:00:27", "--fps", "25"},
      {"--device-id", "12"},
      {"--device-id", "12345"},
      {"--device-id", "zz00"},
  };
  for (const auto& args : bad)
    EXPECT_NE(SimCommandLine::parse(args).error, "") << args[0] << " " << args[1];
}

TEST(FrameRate, StatusLineShowsTheLabelAtTheRate) {
  DeckEmulator::Snapshot s;
  s.frame = 1800;
  s.mode = TransportMode::Shuttle;
  s.speed = -2.5;
  s.framesIn = 7;
  s.framesOut = 6;
  EXPECT_EQ(StatusLine::text(s, FrameRate(Kind::Fps2997Df)),
            "00:01:00:02  shuttle     -2.50x  in 7  out 6  (29.97df fps)");
  s.ejected = true;
  EXPECT_EQ(StatusLine::text(s, FrameRate(Kind::Fps25)).substr(0, 21), "00:01:12:00  ejected ");
}

}  // namespace
