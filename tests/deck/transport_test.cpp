#include <gtest/gtest.h>

#include "deck/support/DeckFixture.h"

using Seq = std::vector<std::string>;

class TransportTest : public DeckFixture {};

TEST_F(TransportTest, EachOperationSendsItsFrameAndSetsMoving) {
  struct Case {
    void (LocalVCR::*op)();
    const char* frame;
    int moving;
  };
  const Case cases[] = {
      {&LocalVCR::play, "20 01 21", 1},         {&LocalVCR::stop, "20 00 20", 0},
      {&LocalVCR::forward, "20 10 30", 1},      {&LocalVCR::rewind, "20 20 40", 1},
      {&LocalVCR::slowfifth, "21 12 2D 60", 1}, {&LocalVCR::slowthird, "21 12 30 63", 1},
      {&LocalVCR::slowhalf, "21 12 36 69", 1},  {&LocalVCR::fasttwo, "21 13 4A 7E", 1},
      {&LocalVCR::fastfive, "21 13 82 B6", 1},  {&LocalVCR::jogf, "21 11 10 42", 0},
      {&LocalVCR::jogr, "21 21 10 52", 0},      {&LocalVCR::eeon, "20 61 81", 0},
      {&LocalVCR::eeoff, "20 60 80", 0},        {&LocalVCR::sbyon, "20 05 25", 0},
      {&LocalVCR::sbyoff, "20 04 24", 0},
  };
  auto& v = make();
  for (const auto& c : cases) {
    // Start from the opposite state so a missing update shows.
    if (c.moving == 1) {
      v.stop();
    } else {
      v.play();
    }
    (v.*c.op)();
    EXPECT_EQ(log.frames().back(), c.frame);
    EXPECT_EQ(v.getmoving(), c.moving) << c.frame;
  }
}

TEST_F(TransportTest, SettlingOperationsEndCuePlayAndReviewButPlayDoesNot) {
  auto& v = make();
  v.editCueText("00:00:00:00");
  v.editEndText("00:00:01:00");
  link.port = false;  // no cue threads: only the flags matter here
  v.reviewclip();
  EXPECT_TRUE(v.getreviewclip());
  EXPECT_TRUE(v.getcueplay());
  EXPECT_EQ(v.getduration(), 30);
  v.play();
  v.pause();
  v.shutfwd(40);
  EXPECT_TRUE(v.getreviewclip());
  v.forward();
  EXPECT_FALSE(v.getreviewclip());
  EXPECT_FALSE(v.getcueplay());
  EXPECT_EQ(v.getduration(), 0);
}

TEST_F(TransportTest, RecordTwiceFlipsMovingBack) {
  auto& v = make();
  v.record();
  EXPECT_EQ(v.getmoving(), 1);
  v.record();
  EXPECT_EQ(v.getmoving(), 0);
  EXPECT_EQ(log.frames(), (Seq{"20 02 22", "20 02 22"}));
}

TEST_F(TransportTest, PauseOnLx1PlaysFirstWhenStopped) {
  auto& v = make(Kind::Lx1);
  v.pause();
  EXPECT_EQ(log.sequence(), (Seq{"20 01 21", "(500 ms)", "21 13 00 34"}));
  log.all();
  auto before = log.sequence().size();
  v.pause();  // moving is 1 now: pause alone
  auto seq = log.sequence();
  EXPECT_EQ(Seq(seq.begin() + before, seq.end()), (Seq{"21 13 00 34"}));
}

TEST_F(TransportTest, PauseOnTapeDeckIsOneFrame) {
  auto& v = make(Kind::Tape);
  v.pause();
  EXPECT_EQ(log.sequence(), (Seq{"21 13 00 34"}));
}

TEST_F(TransportTest, PlayThenPauseOnLx1) {
  auto& v = make(Kind::Lx1);
  v.play();
  v.pause();
  EXPECT_EQ(log.sequence(), (Seq{"20 01 21", "21 13 00 34"}));
}

TEST_F(TransportTest, ShuttleFramesCarrySpeedAndChecksum) {
  auto& v = make();
  v.shutfwd(32);
  v.shutrev(32);
  v.shutfwd(200);
  v.shutrev(-1);
  v.shutfwd(94);
  v.shutrev(96);
  EXPECT_EQ(log.frames(), (Seq{"21 13 20 54 00", "21 23 20 64 00", "21 13 C8 FC 00",
                               "21 23 FF 43 00", "21 13 5E 92 00", "21 23 60 A4 00"}));
  EXPECT_EQ(v.getmoving(), 0);
}

TEST_F(TransportTest, StartAnnouncesReadyAndSendsTimeModeFirst) {
  auto& v = make();
  link.port = false;  // no polling thread
  v.start();
  EXPECT_EQ(lines(), (Seq{"Ready"}));
  EXPECT_EQ(view.calls(), (Seq{"ShowStatus  Ready"}));
  EXPECT_EQ(log.frames(), (Seq{"41 36 00 77"}));
}

TEST_F(TransportTest, StartDoesNotHoldItsCallerForThePollingPause) {
  auto& v = make();
  sleeper->realCapMs = 60000;  // waits are real here
  const auto t0 = std::chrono::steady_clock::now();
  v.start();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
  // The polling thread waits its 1000 ms first; close ends that wait at once.
  ASSERT_TRUE(log.waitForEntry("(1000 ms)"));
  const auto t1 = std::chrono::steady_clock::now();
  v.close();
  EXPECT_LT(std::chrono::steady_clock::now() - t1, std::chrono::milliseconds(500));
  EXPECT_EQ(log.frames(), (Seq{"41 36 00 77"}));
}

TEST_F(TransportTest, CloseStopsTwiceWhenStopOnExitAndNothingAfter) {
  auto& v = make();
  ControllerApp::stoponexit = true;
  v.play();
  v.close();
  EXPECT_EQ(log.sequence(), (Seq{"20 01 21", "20 00 20", "(hold 500 ms)", "20 00 20"}));
  v.play();
  v.stop();
  v.cue();
  v.close();
  EXPECT_EQ(log.frames().size(), 3u);
}

TEST_F(TransportTest, CloseWithoutStopOnExitSendsNothing) {
  auto& v = make();
  v.close();
  EXPECT_TRUE(log.frames().empty());
}

TEST_F(TransportTest, FieldWritesFromElsewhereReachTheViewEditsDoNot) {
  auto& v = make();
  v.setCueText("01:00:00:00");
  v.setEndText("01:00:10:00");
  v.editCueText("02:00:00:00");
  v.editEndText("02:00:10:00");
  EXPECT_EQ(view.calls(), (Seq{"cue 01:00:00:00", "end 01:00:10:00"}));
  EXPECT_EQ(v.cueText(), "02:00:00:00");
  EXPECT_EQ(v.endText(), "02:00:10:00");
  v.CommandBLogger();
  EXPECT_EQ(view.calls().back(), "logger");
}
