// The soak test's verdicts come from its transcript reader: these cases make sure it pairs
// replies with their frames, sees every kind of fault, and finds gaps and stalls, so a soak run
// cannot pass because the reader missed something.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "soak/support/SoakAnalysis.h"
#include "soak/support/TranscriptFollower.h"
#include "support/TempFolder.h"

namespace {

std::vector<TranscriptEvent> events(const std::vector<std::string>& lines) {
  std::vector<TranscriptEvent> out;
  for (const auto& l : lines) {
    auto e = TranscriptEvent::parse(l);
    EXPECT_TRUE(e.has_value()) << l;
    if (e) {
      out.push_back(*e);
    }
  }
  return out;
}

}  // namespace

TEST(SoakAnalysis, DecodesTimeRepliesAndChecksums) {
  const std::vector<std::uint8_t> t = {0x74, 0x04, 0x12, 0x34, 0x56, 0x01, 0x15};
  EXPECT_TRUE(SoakAnalysis::checksumOk(t));
  EXPECT_EQ(SoakAnalysis::tapeFrame(t), 108000 + 56 * 1800 + 34 * 30 + 12);
  EXPECT_FALSE(SoakAnalysis::checksumOk(
      std::vector<std::uint8_t>{0x74, 0x04, 0x00, 0x00, 0x00, 0x00, 0x22}));
  EXPECT_FALSE(SoakAnalysis::tapeFrame(std::vector<std::uint8_t>{0x74, 0x04, 0x1A, 0, 0, 0, 0}));
  EXPECT_FALSE(TranscriptEvent::parse("12 OUT 7G").has_value());
}

TEST(SoakAnalysis, PairsRepliesWithFramesAndClassifiesEveryFault) {
  // Reply 1 good, 2 lost, 3 stray bytes, 4 split (period 4), 5 wrong checksum, 6 late, 7 good.
  const auto f = SoakAnalysis(4, 9).analyse(events({
      "1000000 IN 61 0C 03 70",
      "1008000 OUT 74 04 00 00 00 00 78",  //
      "1050000 IN 61 0C 03 70",
      "1050000 LOST 74 04 01 00 00 00 79",  //
      "1100000 IN 61 0C 03 70",
      "1108000 JUNK 55",
      "1108000 OUT 74 04 02 00 00 00 7A",
      "1150000 IN 61 0C 03 70",
      "1158000 OUT 74 04 03 00 00 00 7B",  //
      "1200000 IN 61 0C 03 70",
      "1208000 OUT 74 04 04 00 00 00 21",  //
      "1250000 IN 61 20 09 8A",
      "1262000 OUT 74 04 05 00 00 00 7D",  //
      "1300000 IN 61 0C 03 70",
      "1308000 OUT 74 04 06 00 00 00 7E",  //
      "1400000 HANGUP",
  }));
  EXPECT_EQ(f.frames, 7);
  EXPECT_EQ(f.polls, 6);
  EXPECT_EQ(f.replies, 6);
  EXPECT_EQ(f.lost, 1);
  EXPECT_EQ(f.junk, 1);
  EXPECT_EQ(f.split, 1);
  EXPECT_EQ(f.corrupt, 1);
  EXPECT_EQ(f.late, 2);  // the late one and the split one (complete 2 ms after its first byte)
  EXPECT_EQ(f.faultyReplies, 5);
  EXPECT_EQ(f.recovered, 5);
  EXPECT_EQ(f.longestFaultRun, 5);
  EXPECT_EQ(f.pollsAfterLongestRun, 1);
  EXPECT_EQ(f.maxRecoveryUs, 1308000 - 1050000);
  EXPECT_EQ(f.goodTimeReplies, 2);
  EXPECT_EQ(f.firstTapeFrame, 0);
  EXPECT_EQ(f.lastTapeFrame, 6);
  EXPECT_EQ(f.hangupUs, 1400000);
  EXPECT_EQ(f.maxPollGapUs, 100000);
  EXPECT_EQ(f.maxPollGapAtUs, 1300000);
}

TEST(SoakAnalysis, ReportsAFaultWithoutRecoveryAndTimeRunningBackwards) {
  const auto f = SoakAnalysis(0, 9).analyse(events({
      "1000000 IN 61 0C 03 70", "1008000 OUT 74 04 05 00 00 00 7D",   //
      "1050000 IN 61 0C 03 70", "1058000 OUT 74 04 02 00 00 00 7A",   //
      "2050000 IN 61 0C 03 70", "2050000 LOST 74 04 03 00 00 00 7B",  //
      "2100000 IN 61 0C 03 70",                                       // never answered
  }));
  EXPECT_EQ(f.timeBackwards, 1);
  EXPECT_EQ(f.faultyReplies, 1);
  ASSERT_EQ(f.unrecoveredUs.size(), 1u);
  EXPECT_EQ(f.unrecoveredUs[0], 2050000);
  EXPECT_EQ(f.maxPollGapUs, 1000000);
}

TEST(TranscriptFollower, TakesOnlyFinishedLinesAndContinuesWhereItStopped) {
  TempFolder dir("orva-soak-follow");
  ASSERT_FALSE(dir.path().empty());
  std::ofstream out(dir.file("t.txt"), std::ios::binary);
  TranscriptFollower follower(dir.file("t.txt"));
  EXPECT_EQ(follower.poll(), 0u);
  out << "10 IN 61 0C 03 70\n20 OUT 74 04" << std::flush;
  EXPECT_EQ(follower.poll(), 1u);
  out << " 00 00 00 00 78\n30 HANGUP\nnonsense\n" << std::flush;
  EXPECT_EQ(follower.poll(), 2u);
  EXPECT_EQ(follower.events()[1].bytes.size(), 7u);
  EXPECT_TRUE(follower.sawHangup());
  EXPECT_EQ(follower.badLines(), 1u);
  EXPECT_EQ(follower.count("IN", {0x61, 0x0C, 0x03, 0x70}), 1u);
}
