#include "sim/DeckEmulator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/SimCommandLine.h"
#include "sim/SimTimecode.h"
#include "support/ManualClock.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kAck = {0x10, 0x01, 0x11};
const Bytes kNakSum = {0x11, 0x12, 0x04, 0x27};
const Bytes kNakUnknown = {0x11, 0x12, 0x01, 0x24};
const Bytes kTimeSense = {0x61, 0x0C, 0x03, 0x70};
const Bytes kStatusSense = {0x61, 0x20, 0x09, 0x8A};

struct Fixture {
  ManualClock clock;
  EmulatorOptions options() const {
    EmulatorOptions o;
    o.clock = clock.fn();
    return o;
  }
};

// Everything the deck writes in answer to the bytes, concatenated.
Bytes talk(DeckEmulator& deck, const Bytes& in) {
  Bytes out;
  for (const auto& w : deck.receive(in))
    out.insert(out.end(), w.bytes.begin(), w.bytes.end());
  return out;
}

Bytes statusBytes(DeckEmulator& deck) {
  Bytes r = talk(deck, kStatusSense);
  return r.size() == 12 ? Bytes(r.begin() + 2, r.end() - 1) : Bytes{};
}

std::string tempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          (name + "-" + std::to_string(::getpid()) + ".txt"))
      .string();
}

std::vector<std::string> readLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

TEST(DeckEmulator, AcknowledgesEveryTransportAndModeCommand) {
  Fixture f;
  DeckEmulator deck(f.options());
  const Bytes commands[] = {
      {0x20, 0x01, 0x21},
      {0x20, 0x02, 0x22},
      {0x20, 0x00, 0x20},
      {0x20, 0x10, 0x30},
      {0x20, 0x20, 0x40},
      {0x20, 0x05, 0x25},
      {0x20, 0x04, 0x24},
      {0x20, 0x61, 0x81},
      {0x20, 0x60, 0x80},
      {0x21, 0x13, 0x00, 0x34},
      {0x21, 0x12, 0x2D, 0x60},
      {0x21, 0x12, 0x30, 0x63},
      {0x21, 0x12, 0x36, 0x69},
      {0x21, 0x13, 0x4A, 0x7E},
      {0x21, 0x13, 0x82, 0xB6},
      {0x21, 0x11, 0x10, 0x42},
      {0x21, 0x21, 0x10, 0x52},
      {0x21, 0x13, 0x20, 0x54, 0x00},
      {0x21, 0x23, 0x20, 0x64, 0x00},
      {0x24, 0x31, 0x00, 0x01, 0x01, 0x00, 0x57},
      {0x41, 0x36, 0x00, 0x77},
  };
  for (const auto& c : commands) {
    EXPECT_EQ(talk(deck, c), kAck) << Transcript::hex(c);
  }
}

TEST(DeckEmulator, RefusesBadChecksumsAndUnknownCommands) {
  Fixture f;
  DeckEmulator deck(f.options());
  EXPECT_EQ(talk(deck, {0x20, 0x01, 0x22}), kNakSum);
  EXPECT_EQ(talk(deck, {0x61, 0x0C, 0x03, 0x71}), kNakSum);
  EXPECT_EQ(talk(deck, {0x20, 0x03, 0x23}), kNakUnknown);
  EXPECT_EQ(talk(deck, {0x00, 0x12, 0x12}), kNakUnknown);
  EXPECT_EQ(talk(deck, {0x62, 0x0C, 0x03, 0x00, 0x71}), kNakUnknown);
  // A refused play does not move the transport.
  EXPECT_EQ(deck.mode(), TransportMode::Stop);
}

TEST(DeckEmulator, TimeSenseAnswersBcdTimecodeFramesFirst) {
  Fixture f;
  EmulatorOptions o = f.options();
  o.startFrame = *SimTimecode::parse("01:23:45:29");
  DeckEmulator deck(o);
  EXPECT_EQ(talk(deck, kTimeSense),
            SimTimecode::withChecksum({0x74, 0x04, 0x29, 0x45, 0x23, 0x01}));
  talk(deck, {0x20, 0x01, 0x21});
  f.clock.advanceFrames(1);
  EXPECT_EQ(talk(deck, kTimeSense),
            SimTimecode::withChecksum({0x74, 0x04, 0x00, 0x46, 0x23, 0x01}));
}

TEST(DeckEmulator, StatusSenseReturnsTheAskedWindowOfStatusBytes) {
  Fixture f;
  DeckEmulator deck(f.options());
  talk(deck, {0x20, 0x01, 0x21});
  Bytes r = talk(deck, kStatusSense);
  ASSERT_EQ(r.size(), 12u);
  EXPECT_EQ(r[0], 0x79);
  EXPECT_EQ(r[1], 0x20);
  EXPECT_EQ(r[3], 0x01) << "play bit where the controller reads it (reply byte 3)";
  EXPECT_EQ(r.back(), SimTimecode::checksum(Bytes(r.begin(), r.end() - 1)));

  // Data bytes 1 to 4: 74 20 D1 D2 D3 D4 sum.
  talk(deck, {0x24, 0x31, 0x00, 0x00, 0x10, 0x00, 0x65});
  r = talk(deck, SimTimecode::withChecksum({0x61, 0x20, 0x14}));
  EXPECT_EQ(r, SimTimecode::withChecksum({0x74, 0x20, 0x00, 0x00, 0x00, 0x01}));
  // Bytes past the status table read as zero.
  r = talk(deck, SimTimecode::withChecksum({0x61, 0x20, 0xF3}));
  EXPECT_EQ(r, SimTimecode::withChecksum({0x73, 0x20, 0x00, 0x00, 0x00}));
}

TEST(DeckEmulator, StatusFollowsCommandsThroughACueAndReview) {
  Fixture f;
  DeckEmulator deck(f.options());
  talk(deck, {0x20, 0x00, 0x20});
  EXPECT_EQ(statusBytes(deck)[1], 0x20);
  // Cue to 00:01:01:00 = 1830 frames.
  talk(deck, {0x24, 0x31, 0x00, 0x01, 0x01, 0x00, 0x57});
  f.clock.advanceMs(100);
  Bytes s = statusBytes(deck);
  EXPECT_EQ(s[4], 0x01);
  EXPECT_EQ(s[2] & 0x01, 0);
  f.clock.advanceMs(5000);
  s = statusBytes(deck);
  EXPECT_EQ(s[2] & 0x01, 0x01);
  EXPECT_EQ(s[4], 0x00);
  EXPECT_EQ(deck.frame(), 1830);
  talk(deck, {0x21, 0x13, 0x00, 0x34});  // pause clears cued-up
  EXPECT_EQ(statusBytes(deck)[2], 0x22);
  talk(deck, {0x20, 0x01, 0x21});
  f.clock.advanceMs(1000);
  EXPECT_EQ(deck.frame(), 1860);
  EXPECT_EQ(statusBytes(deck)[1], 0x01);
  talk(deck, {0x20, 0x61, 0x81});
  EXPECT_TRUE(deck.ee());
  talk(deck, {0x20, 0x05, 0x25});
  EXPECT_EQ(statusBytes(deck)[1], 0x81);
}

TEST(DeckEmulator, ShuttleFrameWithItsPadByteGetsOneReply) {
  Fixture f;
  EmulatorOptions o = f.options();
  o.startFrame = 108000;
  DeckEmulator deck(o);
  const Bytes stream = {0x21, 0x23, 0x40, 0x84, 0x00, 0x61, 0x0C, 0x03, 0x70};
  const auto writes = deck.receive(stream);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].bytes, kAck);
  EXPECT_EQ(writes[1].bytes[0], 0x74);
  EXPECT_EQ(deck.mode(), TransportMode::Shuttle);
}

TEST(DeckEmulator, PartialFrameIsForgottenAfterTheByteTimeOut) {
  Fixture f;
  DeckEmulator deck(f.options());
  EXPECT_TRUE(deck.receive(Bytes{0x20, 0x01}).empty());
  f.clock.advanceMs(10);
  deck.expire();
  EXPECT_FALSE(deck.deadline());
  EXPECT_EQ(talk(deck, {0x21}), Bytes{});
  EXPECT_EQ(deck.mode(), TransportMode::Stop);
  EXPECT_EQ(deck.framesReceived(), 0);
}

// With a stop latency the deck plays on for that many of its frames after Stop, a still or a
// cue-up arrives, at every rate; the timecode shows it, and a command meanwhile goes in order.
TEST(DeckEmulator, StopLatencyHaltsThatManyFramesAfterTheFrameArrives) {
  const Bytes kPlay = {0x20, 0x01, 0x21}, kStop = {0x20, 0x00, 0x20},
              kPause = {0x21, 0x13, 0x00, 0x34}, kRew = {0x20, 0x20, 0x40};
  struct Case {
    FrameRate rate;
    int latency;
    Bytes halt;
  } cases[] = {{FrameRate(FrameRate::Kind::Fps30), 1, kStop},
               {FrameRate(FrameRate::Kind::Fps25), 2, kPause},
               {FrameRate(FrameRate::Kind::Fps2997Df), 1, kStop},
               {FrameRate(FrameRate::Kind::Fps30), 0, kStop}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate.name() + " latency " + std::to_string(c.latency));
    Fixture f;
    EmulatorOptions o = f.options();
    o.rate = c.rate;
    o.stopLatencyFrames = c.latency;
    o.startFrame = 1000;
    DeckEmulator deck(o);
    const double frameUs = 1e6 / c.rate.perSecond();
    talk(deck, kPlay);
    f.clock.advanceUs(std::llround(10.6 * frameUs));  // arrives 0.6 into frame 1010
    EXPECT_EQ(talk(deck, c.halt), kAck);
    f.clock.advanceUs(std::llround((c.latency - 0.2) * frameUs));
    EXPECT_EQ(deck.frame(), 1010 + c.latency);  // still playing just before it takes effect
    f.clock.advanceUs(std::llround(5 * frameUs));
    EXPECT_EQ(deck.frame(), 1010 + c.latency);  // at rest
    EXPECT_NE(deck.mode(), TransportMode::Play);
    // A cue-up is late too; a rewind arriving meanwhile makes it take effect first.
    EXPECT_EQ(talk(deck, {0x24, 0x31, 0x00, 0x00, 0x00, 0x00, 0x55}), kAck);
    EXPECT_EQ(deck.mode() == TransportMode::Cueing, c.latency == 0);
    EXPECT_EQ(talk(deck, kRew), kAck);
    EXPECT_EQ(deck.mode(), TransportMode::Rewind);
  }
}

// --- fault injection -------------------------------------------------------------------------

TEST(DeckEmulatorFaults, ReplyDelayPostponesEveryReply) {
  Fixture f;
  EmulatorOptions o = f.options();
  o.replyDelayMs = 15;
  DeckEmulator deck(o);
  const auto writes = deck.receive(kTimeSense);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].dueUs, f.clock.now() + 15000);
}

TEST(DeckEmulatorFaults, DropEveryNthReply) {
  Fixture f;
  EmulatorOptions o = f.options();
  o.dropEvery = 3;
  DeckEmulator deck(o);
  std::vector<bool> answered;
  for (int i = 0; i < 9; ++i)
    answered.push_back(!deck.receive(kTimeSense).empty());
  EXPECT_EQ(answered, (std::vector<bool>{true, true, false, true, true, false, true, true, false}));
  // A dropped command still acts.
  deck.receive(Bytes{0x20, 0x01, 0x21});
  deck.receive(Bytes{0x20, 0x01, 0x21});
  EXPECT_TRUE(deck.receive(Bytes{0x20, 0x10, 0x30}).empty());
  EXPECT_EQ(deck.mode(), TransportMode::FastForward);
}

TEST(DeckEmulatorFaults, DropByChanceIsRepeatableForASeed) {
  auto pattern = [](std::uint32_t seed) {
    Fixture f;
    EmulatorOptions o = f.options();
    o.dropProb = 0.25;
    o.seed = seed;
    DeckEmulator deck(o);
    std::vector<bool> dropped;
    for (int i = 0; i < 2000; ++i)
      dropped.push_back(deck.receive(kTimeSense).empty());
    return dropped;
  };
  const auto a = pattern(7);
  EXPECT_EQ(a, pattern(7));
  EXPECT_NE(a, pattern(8));
  const auto n = std::count(a.begin(), a.end(), true);
  EXPECT_GT(n, 400);  // 500 expected; 4 standard deviations either side
  EXPECT_LT(n, 600);
}

TEST(DeckEmulatorFaults, CorruptEveryNthChecksum) {
  Fixture f;
  EmulatorOptions o = f.options();
  o.corruptEvery = 2;
  DeckEmulator deck(o);
  const Bytes good = talk(deck, kTimeSense);
  const Bytes bad = talk(deck, kTimeSense);
  EXPECT_EQ(good.back(), SimTimecode::checksum(Bytes(good.begin(), good.end() - 1)));
  ASSERT_EQ(bad.size(), good.size());
  EXPECT_NE(bad.back(), good.back());
  EXPECT_EQ(Bytes(bad.begin(), bad.end() - 1), Bytes(good.begin(), good.end() - 1));
}

TEST(DeckEmulatorFaults, GarbageBytesComeJustBeforeTheReply) {
  Fixture f;
  EmulatorOptions o = f.options();
  o.garbageEvery = 1;
  DeckEmulator deck(o);
  for (int i = 0; i < 20; ++i) {
    const auto writes = deck.receive(kAck.size() ? Bytes{0x20, 0x00, 0x20} : Bytes{});
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_STREQ(writes[0].tag, "JUNK");
    EXPECT_GE(writes[0].bytes.size(), 1u);
    EXPECT_LE(writes[0].bytes.size(), 3u);
    EXPECT_EQ(writes[1].bytes, kAck);
    EXPECT_EQ(writes[0].dueUs, writes[1].dueUs);
  }
}

TEST(DeckEmulatorFaults, SplitReplyComesInPartsAMillisecondApart) {
  Fixture f;
  EmulatorOptions o = f.options();
  o.splitEvery = 2;
  DeckEmulator deck(o);
  EXPECT_EQ(deck.receive(kStatusSense).size(), 1u);
  const auto writes = deck.receive(kStatusSense);
  ASSERT_EQ(writes.size(), 3u);
  Bytes joined;
  for (std::size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].dueUs, f.clock.now() + std::int64_t(i) * 1000);
    joined.insert(joined.end(), writes[i].bytes.begin(), writes[i].bytes.end());
  }
  EXPECT_EQ(writes[0].logged, joined) << "the whole reply is logged once, with the first part";
  EXPECT_EQ(writes[1].tag, nullptr);
  EXPECT_EQ(joined.size(), 12u);
}

TEST(DeckEmulatorFaults, HangsUpAfterNFrames) {
  Fixture f;
  EmulatorOptions o = f.options();
  o.hangupAfter = 2;
  DeckEmulator deck(o);
  // Two frames in one chunk with a third behind them: the third is never answered.
  Bytes three = {0x20, 0x01, 0x21, 0x61, 0x0C, 0x03, 0x70, 0x20, 0x00, 0x20};
  const auto writes = deck.receive(three);
  EXPECT_EQ(writes.size(), 2u);
  EXPECT_TRUE(deck.hungUp());
  EXPECT_TRUE(deck.receive(kTimeSense).empty());
  EXPECT_EQ(deck.mode(), TransportMode::Play);
}

// --- transcript ------------------------------------------------------------------------------

TEST(DeckEmulatorTranscript, LogsEveryFrameInAndOutWithItsTime) {
  Fixture f;
  EmulatorOptions o = f.options();
  o.transcriptPath = tempPath("orva-sim-transcript");
  o.dropEvery = 3;
  o.garbageEvery = 4;
  {
    DeckEmulator deck(o);
    auto send = [&](const Bytes& in) {
      for (const auto& w : deck.receive(in))
        deck.noteSent(w, f.clock.now());
    };
    send({0x20, 0x01, 0x21});
    f.clock.advanceUs(1234);
    send(kTimeSense);
    send({0x21, 0x13, 0x20, 0x54, 0x00});  // third reply: lost
    send({0x20, 0x00, 0x20});              // fourth reply: junk first
    send({0x61, 0x0C});
    f.clock.advanceMs(11);
    deck.expire();
    deck.noteHangup(f.clock.now());
  }
  const auto lines = readLines(o.transcriptPath);
  std::filesystem::remove(o.transcriptPath);
  const std::int64_t t0 = f.clock.now() - 11000 - 1234;
  const std::int64_t t1 = t0 + 1234;
  auto at = [](std::int64_t t, const std::string& rest) { return std::to_string(t) + " " + rest; };
  const std::vector<std::string> expected = {
      at(t0, "IN 20 01 21"),
      at(t0, "OUT 10 01 11"),
      at(t1, "IN 61 0C 03 70"),
      at(t1, "OUT 74 04 00 00 00 00 78"),
      at(t1, "IN 21 13 20 54"),
      at(t1, "LOST 10 01 11"),
      at(t1, "PAD 00"),
      at(t1, "IN 20 00 20"),
      lines.size() > 8 ? lines[8] : "",
      at(t1, "OUT 10 01 11"),
      at(t1 + 11000, "TIMEOUT 61 0C"),
      at(t1 + 11000, "HANGUP"),
  };
  EXPECT_EQ(lines, expected);
  ASSERT_GT(lines.size(), 8u);
  // One to three stray bytes, each " XX" in upper-case hex.
  const std::string junk = at(t1, "JUNK");
  ASSERT_EQ(lines[8].substr(0, junk.size()), junk);
  const std::string bytes = lines[8].substr(junk.size());
  EXPECT_TRUE(bytes.size() == 3 || bytes.size() == 6 || bytes.size() == 9) << lines[8];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    EXPECT_TRUE(i % 3 == 0 ? c == ' ' : std::isxdigit(c) && !std::islower(c)) << lines[8];
  }
}

TEST(DeckEmulatorTranscript, UnwritablePathIsReportedNotIgnored) {
  EmulatorOptions o;
  o.transcriptPath = "/nonexistent-dir/transcript.txt";
  EXPECT_THROW(DeckEmulator deck(o), std::runtime_error);
}

// --- command line ----------------------------------------------------------------------------

TEST(SimCommandLine, ReadsEveryOption) {
  const auto r = SimCommandLine::parse(
      {"--deck",         "lx1", "--start",         "00:10:00:00", "--end",           "01:00:00:00",
       "--reply-delay",  "12",  "--drop-every",    "5",           "--drop-prob",     "0.1",
       "--seed",         "42",  "--corrupt-every", "6",           "--garbage-every", "7",
       "--split-every",  "8",   "--hangup-after",  "9",           "--transcript",    "/tmp/t.txt",
       "--stop-latency", "2",   "--realtime"});
  ASSERT_EQ(r.error, "");
  EXPECT_FALSE(r.help);
  EXPECT_EQ(r.options.deck, DeckKind::Lx1);
  EXPECT_EQ(r.options.startFrame, 18000);
  EXPECT_EQ(r.options.endFrame, 108000);
  EXPECT_EQ(r.options.replyDelayMs, 12);
  EXPECT_EQ(r.options.dropEvery, 5);
  EXPECT_DOUBLE_EQ(r.options.dropProb, 0.1);
  EXPECT_EQ(r.options.seed, 42u);
  EXPECT_EQ(r.options.corruptEvery, 6);
  EXPECT_EQ(r.options.garbageEvery, 7);
  EXPECT_EQ(r.options.splitEvery, 8);
  EXPECT_EQ(r.options.hangupAfter, 9);
  EXPECT_EQ(r.options.transcriptPath, "/tmp/t.txt");
  EXPECT_EQ(r.options.stopLatencyFrames, 2);
  EXPECT_TRUE(r.realtime);
  EXPECT_TRUE(SimCommandLine::parse({"--help"}).help);
}

TEST(SimCommandLine, RefusesBadValuesWithAMessage) {
  const std::vector<std::vector<std::string>> bad = {
      {"--deck", "betamax"},
      {"--start", "00:61:00:00"},
      {"--end", "1:00:00:00"},
      {"--reply-delay", "-1"},
      {"--stop-latency", "101"},
      {"--drop-prob", "1.5"},
      {"--drop-every", "x"},
      {"--seed"},
      {"--bogus", "1"},
      {"stray"},
      {"--start", "01:00:00:00", "--end", "00:30:00:00"},
  };
  for (const auto& args : bad) {
    EXPECT_NE(SimCommandLine::parse(args).error, "") << args[0];
  }
}

}  // namespace
