#include <gtest/gtest.h>

#include <algorithm>

#include "deck/TCThread.h"
#include "deck/support/DeckFixture.h"

using Seq = std::vector<std::string>;

class PollingTest : public DeckFixture {
 protected:
  // The view calls of one status request.
  Seq statusCalls(std::uint8_t b3, std::uint8_t b4, std::uint8_t b6) {
    link.setStatus(b3, b4, b6);
    const auto before = view.calls().size();
    vcr->CommandStatus();
    const auto calls = view.calls();
    return Seq(calls.begin() + before, calls.end());
  }
};

TEST_F(PollingTest, StatusTextsAndHighlightsOnATapeDeck) {
  make(Kind::Tape);
  EXPECT_EQ(statusCalls(0x21, 0x00, 0x00),
            (Seq{"clearbuttons", "hilight Play", "hilight Stop", "ShowStatus Play Stop "}));
  EXPECT_EQ(statusCalls(0x80, 0x31, 0x00),
            (Seq{"clearbuttons", "hilight StandbyOn", "hilight Shuttle", "hilight JogForward",
                 "ShowStatus Stby Shuttle Jog CuedUp "}));
  EXPECT_TRUE(vcr->getcueup());
  EXPECT_EQ(statusCalls(0x0E, 0x14, 0x01),
            (Seq{"clearbuttons", "hilight Record", "hilight Forward", "hilight Rewind",
                 "hilight JogReverse", "ShowStatus Rec FF REW Jog PreCue "}));
  EXPECT_FALSE(vcr->getcueup());  // a clear bit clears a flag that was set
  EXPECT_TRUE(vcr->getpreroll());
  EXPECT_EQ(vcr->getStatusString(), "Rec FF REW Jog PreCue ");
}

TEST_F(PollingTest, Lx1ShowsNoStandbyShuttleOrJog) {
  make(Kind::Lx1);
  EXPECT_EQ(statusCalls(0x80, 0x31, 0x00), (Seq{"clearbuttons", "ShowStatus CuedUp "}));
  EXPECT_EQ(statusCalls(0x01, 0x00, 0x00),
            (Seq{"clearbuttons", "hilight Play", "ShowStatus Play "}));
}

TEST_F(PollingTest, ZarixAndLancDecodeLikeATapeDeck) {
  for (Kind kind : {Kind::Zarix, Kind::Lanc}) {
    make(kind);
    EXPECT_EQ(statusCalls(0x80, 0x30, 0x00),
              (Seq{"clearbuttons", "hilight StandbyOn", "hilight Shuttle", "hilight JogForward",
                   "ShowStatus Stby Shuttle Jog "}));
    vcr->close();
  }
}

TEST_F(PollingTest, DuringAReviewOnlyTheCueBitsCount) {
  auto& v = make(Kind::Tape);
  link.port = false;
  v.editEndText("00:00:01:00");
  v.reviewclip();
  ASSERT_TRUE(v.getreviewclip());
  EXPECT_EQ(statusCalls(0x01, 0x01, 0x01), (Seq{"clearbuttons", "ShowStatus CuedUp PreCue "}));
}

TEST_F(PollingTest, StatusRequestWithoutAnswer) {
  auto& v = make();
  link.setStatusReply({});
  v.CommandStatus();
  EXPECT_EQ(view.calls().back(), "ShowStatus No Device Status");
  link.outStream = false;
  v.CommandStatus();
  EXPECT_EQ(view.calls().back(), "ShowStatus No RS422 I/O");
  link.outStream = true;
  link.setStatusReply({0x10, 0x01, 0x11});  // some other shape: nothing shown
  const auto before = view.calls().size();
  v.CommandStatus();
  EXPECT_EQ(view.calls().size(), before);
  EXPECT_EQ(log.frames(), (Seq{"61 20 09 8A", "61 20 09 8A", "61 20 09 8A"}));
}

TEST_F(PollingTest, TimecodeReplyUpdatesStoreViewAndClipboard) {
  auto& v = make();
  ControllerApp::useclipboard = true;
  link.setTimecodeReply({0x74, 0x04, 0x12, 0x34, 0x56, 0x01, 0x00});
  v.CommandB8();
  EXPECT_EQ(v.tcText(), "01:56:34:12");
  EXPECT_EQ(v.gettcframes(), 209832);
  EXPECT_EQ(view.calls(), (Seq{"ShowTC 01:56:34:12", "clipboard 01:56:34:12\n"}));
  EXPECT_EQ(log.frames(), (Seq{"61 0C 03 70"}));
}

TEST_F(PollingTest, TimecodeRepliesOfTheWrongShapeChangeNothing) {
  auto& v = make();
  link.setTimecode("01:00:00:00");
  v.CommandB8();
  for (auto reply : {std::vector<std::uint8_t>{0x74, 0x04, 0, 0, 0, 2, 0, 0},
                     std::vector<std::uint8_t>{0x75, 0x04, 0, 0, 0, 2, 0},
                     std::vector<std::uint8_t>{0x74, 0x04, 0, 0x6A, 0, 2, 0}}) {
    link.setTimecodeReply(reply);
    v.CommandB8();
    EXPECT_EQ(v.tcText(), "01:00:00:00");
    EXPECT_EQ(v.gettcframes(), 108000);
  }
  EXPECT_EQ(view.calls(), (Seq{"ShowTC 01:00:00:00"}));
}

TEST_F(PollingTest, StatusShapedReplyToATimecodeRequestIsDecoded) {
  auto& v = make();
  link.setTimecodeReply({0x79, 0x20, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00});
  v.CommandB8();
  EXPECT_EQ(view.calls(), (Seq{"clearbuttons", "hilight Play", "ShowStatus Play CuedUp "}));
  EXPECT_TRUE(v.getcueup());
}

TEST_F(PollingTest, PollingAsksTimecodeThenStatusEveryEighthCycle) {
  auto& v = make();
  sleeper->realCapMs = 1;  // keeps the polling thread from spinning
  link.setTimecode("00:00:00:00");
  v.start();
  ASSERT_TRUE(
      log.waitFor([](const Seq& e) { return std::count(e.begin(), e.end(), "61 20 09 8A") >= 3; }));
  v.close();
  const Seq gettc = {"61 0C 03 70"};
  Seq expected = {"41 36 00 77"};
  for (int cycle = 0; cycle < 17; ++cycle) {
    expected.push_back("61 0C 03 70");
    if (cycle % 8 == 0) {
      expected.push_back("61 20 09 8A");
    }
  }
  const auto frames = log.frames();
  ASSERT_GE(frames.size(), expected.size());
  EXPECT_EQ(Seq(frames.begin(), frames.begin() + expected.size()), expected);
  // The start-up pause comes first, then the interval of a tape deck.
  const auto all = log.sequence();
  EXPECT_EQ(all[1], "(1000 ms)");
  EXPECT_EQ(all[2], "(35 ms)");
}

TEST_F(PollingTest, IntervalByDeckKind) {
  EXPECT_EQ(TCThread::intervalFor(false, false), 35);
  EXPECT_EQ(TCThread::intervalFor(true, false), 60);
  EXPECT_EQ(TCThread::intervalFor(false, true), 20);
  EXPECT_EQ(TCThread::intervalFor(true, true), 20);
}

TEST_F(PollingTest, NoPortMeansNoPolling) {
  auto& v = make();
  link.port = false;
  v.start();
  v.GetTC();
  v.close();
  EXPECT_EQ(log.frames(), (Seq{"41 36 00 77"}));
}

TEST_F(PollingTest, AFailingLinkDoesNotEndThePolling) {
  auto& v = make();
  sleeper->realCapMs = 1;
  link.throwing = true;
  v.GetTC();
  ASSERT_TRUE(log.waitForEntry("61 0C 03 70", 3));
  link.throwing = false;
  link.setTimecode("10:00:00:00");
  ASSERT_TRUE(log.waitForEntry("view ShowTC 10:00:00:00"));
  v.close();
  // One line for the whole run of identical failures.
  EXPECT_EQ(lines(), (Seq{"Timecode polling error: Unable to write to Serial Port"}));
}

TEST_F(PollingTest, ASilentDeckShowsAStaleDisplayUntilItsFirstReply) {
  auto& v = make();
  link.setTimecode("01:00:00:00");
  v.CommandB8();
  link.silence();
  for (int i = 0; i < 5; ++i) {
    v.CommandB8();  // one missed reply is no loss yet; the third in a row is
  }
  link.silence(false);
  link.setTimecode("01:00:00:01");
  v.CommandB8();
  v.CommandB8();
  EXPECT_EQ(view.calls(), (Seq{"ShowTC 01:00:00:00", "stale", "live", "ShowTC 01:00:00:01",
                               "ShowTC 01:00:00:01"}));
}

// The deck marks drop-frame in bit 6 of the frames byte. When that and the FrameRate setting
// disagree the operator is told once per change, in the log and the status line; at 29.97DF
// the display writes ';' before the frames.
TEST_F(PollingTest, DeckDropFrameFlagAgainstTheSettingIsToldOncePerChange) {
  using K = TimecodeRate::Kind;
  const std::string toldDf = "Deck reports drop-frame timecode (29.97DF), but FrameRate is 30";
  const std::string toldNdf = "Deck reports non-drop timecode, but FrameRate is 29.97DF";
  struct Case {
    K setting;
    std::vector<bool> flags;  // the flag in successive replies
    std::vector<std::string> told;
    const char* shown;
  } cases[] = {
      {K::Fps30, {false, false}, {}, "01:02:03:04"},
      {K::Fps30, {true, true, false, true}, {toldDf, toldDf}, "01:02:03:04"},
      {K::Fps2997Df, {true, true}, {}, "01:02:03;04"},
      {K::Fps2997Df, {false, false, false}, {toldNdf}, "01:02:03;04"},
  };
  for (const auto& c : cases) {
    auto& v = make(Kind::Tape, TimecodeRate(c.setting));
    const auto linesBefore = lines().size();
    const auto callsBefore = view.calls().size();
    for (bool flag : c.flags) {
      link.setTimecodeReply(
          {0x74, 0x04, static_cast<std::uint8_t>(flag ? 0x44 : 0x04), 0x03, 0x02, 0x01, 0x00});
      v.CommandB8();
    }
    const auto all = lines();
    EXPECT_EQ(Seq(all.begin() + linesBefore, all.end()), c.told);
    const auto allCalls = view.calls();
    const Seq calls(allCalls.begin() + callsBefore, allCalls.end());
    for (const std::string& t : c.told) {
      EXPECT_EQ(std::count(calls.begin(), calls.end(), "ShowStatus " + t),
                std::count(c.told.begin(), c.told.end(), t));
    }
    EXPECT_EQ(v.tcText(), c.shown);
  }
}
