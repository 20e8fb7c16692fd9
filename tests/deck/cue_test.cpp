#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "deck/support/DeckFixture.h"

using Seq = std::vector<std::string>;

class CueTest : public DeckFixture {
 protected:
  // The deck reports cued up at the next status request, once the nth cue waits for it: a
  // reply whose request went out before the cue frame does not count.
  void reportCuedUp(int nth = 1) {
    // The cue's wait for cued up: "(until 50000 ms)", "(until 2000 ms)" on the LX1.
    ASSERT_TRUE(log.waitFor([nth](const std::vector<std::string>& entries) {
      return std::count_if(entries.begin(), entries.end(), [](const std::string& e) {
               return e.starts_with("(until ") && e.ends_with(" ms)");
             }) >= nth;
    }));
    link.setStatus(0x00, 0x01, 0x00);
    vcr->CommandStatus();
  }
  void reportTimecode(const std::string& tc) {
    link.setTimecode(tc);
    vcr->CommandB8();
  }
  // Drives a review whose cue thread is running to its out point 00:00:01:00.
  void driveReviewToOutPoint(int outWaits = 1) {
    ASSERT_TRUE(log.waitForEntry("24 31 00 00 00 00 55"));
    reportCuedUp();
    ASSERT_TRUE(log.waitForEntry("(until)", outWaits));
    reportTimecode("00:00:00:28");
    reportTimecode("00:00:00:29");
    ASSERT_TRUE(log.waitForEntry("view unlock"));
  }
  static std::size_t indexOf(const Seq& s, const std::string& e, int nth = 1) {
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (s[i] == e && --nth == 0) {
        return i;
      }
    }
    return s.size();
  }
};

TEST_F(CueTest, CueAndCueOutFramesCarryTheFieldTimecode) {
  auto& v = make();
  sleeper->limitCapMs = 0;  // no deck answers: do not wait for cued up
  v.editCueText("01:02:03:04");
  v.cue();
  ASSERT_TRUE(log.waitForEntry("view unlock"));
  v.editEndText("00:00:10:00");
  v.cueout();
  ASSERT_TRUE(log.waitForEntry("view unlock", 2));
  const auto frames = log.frames();
  EXPECT_EQ(frames[0], "24 31 04 03 02 01 5F");
  EXPECT_EQ(frames[2], "24 31 00 10 00 00 65");
}

TEST_F(CueTest, TapeDeckReviewSequence) {
  auto& v = make(Kind::Tape);
  v.editCueText("00:00:00:00");
  v.editEndText("00:00:01:00");
  v.reviewclip();
  EXPECT_EQ(v.getduration(), 30);
  EXPECT_EQ(v.getdurationsec(), 1);
  EXPECT_EQ(v.getdurationfr(), 0);
  driveReviewToOutPoint();
  EXPECT_EQ(log.sequence(),
            (Seq{"20 00 20", "(1000 ms)", "(1000 ms)", "24 31 00 00 00 00 55", "(until 50000 ms)",
                 "21 13 00 34", "(2000 ms)", "(2000 ms)", "20 01 21", "(until)", "20 00 20"}));
  // The stop frame follows the timecode request that answered out - 1.
  const auto frames = log.frames();
  EXPECT_GT(indexOf(frames, "20 00 20", 2), indexOf(frames, "61 0C 03 70", 2));
  const auto calls = view.calls();
  EXPECT_LT(indexOf(calls, "ShowStatus Reviewing Clip of Duration= 30"), indexOf(calls, "lock"));
  EXPECT_LT(indexOf(calls, "lock"), indexOf(calls, "ShowStatus CUED!!"));
  EXPECT_TRUE(waitForLine("Cue/Review/Play Finished!"));
  EXPECT_FALSE(v.getreviewclip());
  EXPECT_EQ(v.getduration(), 0);
}

TEST_F(CueTest, Lx1ReviewSequence) {
  auto& v = make(Kind::Lx1);
  v.editCueText("00:00:00:00");
  v.editEndText("00:00:01:00");
  v.reviewclip();
  driveReviewToOutPoint();
  EXPECT_EQ(log.sequence(), (Seq{"20 01 21", "(500 ms)", "21 13 00 34", "21 13 00 34",
                                 "24 31 00 00 00 00 55", "(until 2000 ms)", "(2000 ms)",
                                 "(2000 ms)", "20 01 21", "(until)", "21 13 00 34"}));
}

TEST_F(CueTest, ZarixReviewSequence) {
  auto& v = make(Kind::Zarix);
  v.editCueText("00:00:00:00");
  v.editEndText("00:00:01:00");
  v.reviewclip();
  driveReviewToOutPoint();
  EXPECT_EQ(log.sequence(),
            (Seq{"20 00 20", "24 31 00 00 00 00 55", "(until 50000 ms)", "21 13 00 34", "(50 ms)",
                 "(20 ms)", "20 01 21", "(until)", "20 00 20"}));
}

TEST_F(CueTest, NegativeDurationCuesOnlyAndSaysSo) {
  auto& v = make();
  sleeper->limitCapMs = 0;
  v.editCueText("00:00:01:00");
  v.editEndText("00:00:00:15");
  v.reviewclip();
  EXPECT_EQ(v.getduration(), -15);
  EXPECT_EQ(v.getdurationsec(), 0);
  EXPECT_EQ(v.getdurationfr(), -15);
  ASSERT_TRUE(log.waitForEntry("view unlock"));
  EXPECT_EQ(lines()[0], "No Review is possible");
  const auto calls = view.calls();
  EXPECT_NE(indexOf(calls, "ShowStatus Reviewing Clip of Duration= -15"), calls.size());
  EXPECT_NE(indexOf(calls, "ShowStatus No Review is possible"), calls.size());
  // A plain cue to the in point: no play.
  EXPECT_EQ(log.frames(), (Seq{"20 00 20", "24 31 00 01 00 00 56", "21 13 00 34"}));
}

TEST_F(CueTest, DurationRoundsTowardZero) {
  auto& v = make();
  link.port = false;
  v.editCueText("00:00:02:00");
  v.editEndText("00:00:00:15");
  v.reviewclip();
  EXPECT_EQ(v.getduration(), -45);
  EXPECT_EQ(v.getdurationsec(), -1);
  EXPECT_EQ(v.getdurationfr(), -15);
}

// The duration text and the out point count in the FrameRate setting's frames, so the stop
// goes out on the label before the out point at that rate.
TEST_F(CueTest, DurationAndOutPointCountInTheFrameRate) {
  using K = TimecodeRate::Kind;
  struct Case {
    K kind;
    const char* in;
    const char* out;
    int duration, endframes, sec, fr;
  } cases[] = {
      {K::Fps30, "00:00:10:00", "00:00:11:07", 37, 337, 1, 7},
      {K::Fps25, "00:00:10:00", "00:00:11:12", 37, 287, 1, 12},
      {K::Fps24, "00:00:10:00", "00:00:12:00", 48, 288, 2, 0},
      {K::Fps2997Df, "00:00:59;28", "00:01:00;02", 2, 1800, 0, 2},
      {K::Fps2997Df, "00:09:59:00", "00:10:00;00", 30, 17982, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out);
    auto& v = make(Kind::Tape, TimecodeRate(c.kind));
    const auto before = view.calls().size();
    link.port = false;
    v.editCueText(c.in);
    v.editEndText(c.out);
    v.reviewclip();
    EXPECT_EQ(v.getduration(), c.duration);
    EXPECT_EQ(v.getendframes(), c.endframes);
    EXPECT_EQ(v.getdurationsec(), c.sec);
    EXPECT_EQ(v.getdurationfr(), c.fr);
    const auto all = view.calls();
    const Seq calls(all.begin() + before, all.end());
    EXPECT_NE(
        indexOf(calls, "ShowStatus Reviewing Clip of Duration= " + std::to_string(c.duration)),
        calls.size());
  }
}

TEST_F(CueTest, NeverCuedUpGivesUpAndStillShowsCued) {
  for (Kind kind : {Kind::Tape, Kind::Lx1}) {
    auto& v = make(kind);
    sleeper->limitCapMs = 5;
    v.cue();
    ASSERT_TRUE(log.waitForEntry("view ShowStatus CUED!!", kind == Kind::Tape ? 1 : 2));
    EXPECT_EQ(log.count(kind == Kind::Tape ? "(until 50000 ms)" : "(until 2000 ms)"), 1);
    ASSERT_TRUE(log.waitForEntry("view unlock", kind == Kind::Tape ? 1 : 2));
    EXPECT_TRUE(v.getcueup());
    EXPECT_EQ(v.getmoving(), 0);
    v.close();
  }
}

TEST_F(CueTest, CuePlayPlaysOnceAndALaterCueDoesNot) {
  auto& v = make();
  sleeper->limitCapMs = 0;
  v.cueplay();
  ASSERT_TRUE(log.waitForEntry("view unlock"));
  EXPECT_FALSE(v.getcueplay());
  EXPECT_EQ(log.frames(), (Seq{"24 31 00 00 00 00 55", "21 13 00 34", "20 01 21"}));
  v.cue();
  ASSERT_TRUE(log.waitForEntry("view unlock", 2));
  EXPECT_EQ(log.count("20 01 21"), 1);
  EXPECT_EQ(lines(), (Seq{"Cue/Review/Play Finished!", "Cue/Review/Play Finished!"}));
}

TEST_F(CueTest, TransportButtonDuringSettleCancelsThePlay) {
  auto& v = make();
  sleeper->limitCapMs = 0;
  std::atomic<bool> pressed{false};
  sleeper->onSleep = [&](int ms) {
    if (ms == 2000 && !pressed.exchange(true)) {
      vcr->stop();
    }
  };
  v.cueplay();
  ASSERT_TRUE(log.waitForEntry("view unlock"));
  EXPECT_EQ(log.sequence(), (Seq{"24 31 00 00 00 00 55", "(until 50000 ms)", "21 13 00 34",
                                 "(2000 ms)", "20 00 20", "(2000 ms)"}));
}

TEST_F(CueTest, OutPointWaitEndsWhenATransportCommandAbandonsTheReview) {
  auto& v = make();
  v.editEndText("00:00:01:00");
  v.reviewclip();
  ASSERT_TRUE(log.waitForEntry("24 31 00 00 00 00 55"));
  reportCuedUp();
  ASSERT_TRUE(log.waitForEntry("(until)"));
  reportTimecode("00:00:00:10");
  v.rewind();
  ASSERT_TRUE(log.waitForEntry("view unlock"));
  // No out-point frame after the operator's rewind; the window is unlocked.
  EXPECT_EQ(log.frames().back(), "20 20 40");
  EXPECT_EQ(log.count("20 00 20"), 1);
  EXPECT_TRUE(waitForLine("Cue/Review/Play Finished!"));
}

TEST_F(CueTest, OutPointWaitEndsOnClose) {
  auto& v = make();
  ControllerApp::stoponexit = true;
  v.editEndText("00:00:01:00");
  v.reviewclip();
  ASSERT_TRUE(log.waitForEntry("24 31 00 00 00 00 55"));
  reportCuedUp();
  ASSERT_TRUE(log.waitForEntry("(until)"));
  const auto t0 = std::chrono::steady_clock::now();
  v.close();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
  EXPECT_TRUE(log.waitForEntry("view unlock", 1, 0));
  // Only the closing sequence follows the play frame.
  const auto seq = log.sequence();
  EXPECT_EQ(Seq(seq.end() - 4, seq.end()),
            (Seq{"(until)", "20 00 20", "(hold 500 ms)", "20 00 20"}));
}

TEST_F(CueTest, ScriptReviewReturnsAfterTheOutPointAndPauses) {
  auto& v = make();
  v.setscriptactive(true);
  v.editEndText("00:00:01:00");
  v.post([&] { v.reviewclip(); });
  driveReviewToOutPoint(2);  // the cue thread's and the script's waits
  ASSERT_TRUE(log.waitForEntry("21 13 00 34", 2));
  const auto frames = log.frames();
  EXPECT_EQ(frames.back(), "21 13 00 34");
  EXPECT_EQ(frames[frames.size() - 2], "20 00 20");
  EXPECT_TRUE(lines().empty());  // no finished message during a script
}

TEST_F(CueTest, ScriptReviewReturnsWhenTheReviewIsAbandoned) {
  auto& v = make();
  v.setscriptactive(true);
  v.editEndText("00:00:01:00");
  std::atomic<bool> returned{false};
  v.post([&] {
    v.reviewclip();
    returned = true;
  });
  ASSERT_TRUE(log.waitForEntry("24 31 00 00 00 00 55"));
  reportCuedUp();
  ASSERT_TRUE(log.waitForEntry("(until)", 2));
  v.stop();
  ASSERT_TRUE(log.waitForEntry("view unlock"));
  ASSERT_TRUE(log.waitFor([&](const Seq&) { return v.workerIdle(); }, 5000) || v.workerIdle());
  EXPECT_TRUE(returned.load());
  EXPECT_EQ(log.frames().back(), "20 00 20");  // no pause over the operator's stop
}

TEST_F(CueTest, MalformedFieldsFailBeforeAnythingIsSent) {
  auto& v = make();
  const auto frame = v.getcueframe();
  v.editCueText("01:02:03");
  EXPECT_THROW(v.cue(), std::invalid_argument);
  EXPECT_THROW(v.cueplay(), std::invalid_argument);
  v.editEndText("aa:00:00:00");
  EXPECT_THROW(v.cueout(), std::invalid_argument);
  EXPECT_TRUE(log.frames().empty());
  // A review has sent its stop first; a bad out point leaves the cue frame unchanged.
  v.editCueText("01:00:00:00");
  EXPECT_THROW(v.reviewclip(), std::invalid_argument);
  EXPECT_EQ(log.frames(), (Seq{"20 00 20"}));
  EXPECT_EQ(v.getcueframe(), frame);
  EXPECT_TRUE(view.calls().empty());
}

TEST_F(CueTest, WithoutASerialPortNothingIsCued) {
  auto& v = make(Kind::Lx1);
  link.port = false;
  v.cue();
  v.editEndText("00:00:01:00");
  v.reviewclip();
  EXPECT_TRUE(log.frames().empty());
  EXPECT_TRUE(view.calls().size() == 1);  // the duration message only
}

TEST_F(CueTest, ANewerCueSupersedesOneStillWaitingAndCloseJoinsThem) {
  // The deck goes where the newest cue sends it: the older cue, still waiting for cued up,
  // sends nothing after the newer cue's frame, and only the newer one settles the deck and
  // unlocks the cue buttons.
  auto& v = make();
  v.editCueText("00:00:05:00");
  v.cue();
  ASSERT_TRUE(log.waitForEntry("(until 50000 ms)"));
  v.editCueText("00:00:06:00");
  v.cue();
  reportCuedUp(2);
  ASSERT_TRUE(log.waitForEntry("view unlock"));
  v.close();
  Seq frames;
  for (const auto& f : log.frames()) {
    if (f.rfind("61 ", 0) != 0 && f != "20 00 20") {  // the status request, close's stops
      frames.push_back(f);
    }
  }
  EXPECT_EQ(frames, (Seq{"24 31 00 05 00 00 5A", "24 31 00 06 00 00 5B", "21 13 00 34"}));
  EXPECT_EQ(log.count("view unlock"), 1);
}

TEST_F(CueTest, AStatusReplyReadBeforeTheCueFrameDoesNotEndItsWait) {
  // The reply still says cued up, from the deck's previous cue; handled after the new cue
  // frame went out, it would end the wait at once and the settle pause would stop the deck
  // on its way.
  auto& v = make();
  link.setStatus(0x00, 0x01, 0x00);
  std::atomic<bool> cued{false};
  view.onClearButtons = [&] {
    if (!cued.exchange(true)) {
      v.cue();
      EXPECT_TRUE(log.waitForEntry("(until 50000 ms)"));
    }
  };
  v.CommandStatus();
  EXPECT_FALSE(v.getcueup());
  v.close();
}

TEST_F(CueTest, SetInAndSetOutTakeTheDisplayedTimecode) {
  auto& v = make();
  reportTimecode("01:02:03:04");
  v.setcue();
  v.setreview();
  EXPECT_EQ(v.cueText(), "01:02:03:04");
  EXPECT_EQ(v.endText(), "01:02:03:04");
  EXPECT_EQ(v.getcueframe(),
            (std::array<std::uint8_t, 7>{0x24, 0x31, 0x04, 0x03, 0x02, 0x01, 0x5F}));
  const auto calls = view.calls();
  EXPECT_EQ(Seq(calls.end() - 2, calls.end()), (Seq{"cue 01:02:03:04", "end 01:02:03:04"}));
}
