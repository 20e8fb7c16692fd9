// The operator takes the deck over from a running script or RevALL with a transport control.
#include <gtest/gtest.h>

#include <fstream>

#include "deck/support/FolderDeckFixture.h"

using Seq = std::vector<std::string>;

class TakeoverTest : public FolderDeckFixture {
 protected:
  bool drained() {
    return eventually([this] { return vcr->workerIdle(); });
  }
};

TEST_F(TakeoverTest, StopEndsAScriptWaitAndDropsWhatWaitedBehindIt) {
  auto& v = make();
  sleeper->realCapMs = 600000;  // Wait600 would really last ten minutes
  std::ofstream("Script.txt") << "Record\nWait600\nStop\n";
  v.postRun([&] { v.script(); });
  v.post([&] { v.play(); });  // pressed during the script: dropped by the takeover
  ASSERT_TRUE(log.waitForEntry("(600000 ms)"));
  const auto t0 = std::chrono::steady_clock::now();
  v.takeover([&] { v.stop(); });
  ASSERT_TRUE(log.waitForEntry("20 00 20"));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
  ASSERT_TRUE(drained());
  EXPECT_EQ(log.frames(), (Seq{"20 02 22", "20 00 20"}));  // the script's Stop never ran
  EXPECT_EQ(lines(), (Seq{" ", "**********", "Found Script.txt File", "Record", "Wait600",
                          "Script ended", "**********", " ", "Script stopped by the operator"}));
  EXPECT_FALSE(v.getscriptactive());

  // With no run in progress a transport control keeps its place in the order.
  v.post([&] { v.play(); });
  v.takeover([&] { v.stop(); });
  ASSERT_TRUE(drained());
  EXPECT_EQ(log.frames(), (Seq{"20 02 22", "20 00 20", "20 01 21", "20 00 20"}));
}

TEST_F(TakeoverTest, RevAllReviewsNoFurtherClipAndTheStuckReviewUnlocks) {
  auto& v = make();
  // The first clip's out point is never reached: the deck sits at 00:00:00:00.
  const std::vector<std::pair<std::string, std::string>> clips = {{"00:00:00:00", "00:00:01:00"},
                                                                  {"00:00:02:00", "00:00:03:00"}};
  std::vector<std::string> said;
  std::mutex saidMutex;
  v.postRun([&] {
    v.reviewall(clips, [&](const std::string& line) {
      std::lock_guard lock(saidMutex);
      said.push_back(line);
    });
  });
  ASSERT_TRUE(log.waitForEntry("(until 50000 ms)"));
  link.setStatus(0x00, 0x01, 0x00);  // the deck reports cued up
  v.CommandStatus();
  ASSERT_TRUE(log.waitForEntry("(until)", 2));  // the cue thread's and RevALL's waits
  v.takeover([&] { v.stop(); });
  ASSERT_TRUE(log.waitForEntry("view unlock"));
  ASSERT_TRUE(drained());
  EXPECT_EQ(log.count("24 31 00 00 00 00 55"), 1);
  EXPECT_EQ(log.count("24 31 00 00 02 00 57"), 0) << "no further clip";
  EXPECT_EQ(log.frames().back(), "20 00 20");  // the operator's stop, no out-point frame
  std::lock_guard lock(saidMutex);
  EXPECT_EQ(said, (Seq{"Review EDL Clip 1",
                       "RevALL stopped by the operator: no further clip "
                       "reviewed"}));
  EXPECT_FALSE(v.getscriptactive());
  EXPECT_FALSE(v.getreviewclip());

  // Taken over while it still waits for cued up, a review unlocks at once: no pause, no play.
  v.postRun([&] { v.reviewclip(); });
  ASSERT_TRUE(log.waitForEntry("(until 50000 ms)", 2));
  v.takeover([&] { v.stop(); });
  ASSERT_TRUE(log.waitForEntry("view unlock", 2));
  ASSERT_TRUE(drained());
  const auto seq = log.sequence();
  EXPECT_EQ(Seq(seq.end() - 3, seq.end()),
            (Seq{"24 31 00 00 00 00 55", "(until 50000 ms)", "20 00 20"}));
}

TEST_F(TakeoverTest, ATakeoverOrALostLineEndsEveryCueWithoutAnotherFrame) {
  // A cue waiting for the deck's cued-up bit must never send its pause (or play) after the
  // operator took over, nor to the deck that answers after the line came back.
  auto& v = make();
  using Op = void (LocalVCR::*)();
  int waits = 0;
  for (Op op : {&LocalVCR::cue, &LocalVCR::cueout, &LocalVCR::cueplay}) {
    for (bool takeover : {true, false}) {
      SCOPED_TRACE(takeover ? "taken over" : "line lost");
      const std::size_t before = log.frames().size();
      v.setCueText("00:02:00:00");
      v.setEndText("00:02:00:00");
      v.post([&v, op] { (v.*op)(); });
      ASSERT_TRUE(log.waitForEntry("(until 50000 ms)", ++waits));
      const int unlocks = log.count("view unlock");
      if (takeover) {
        v.takeover([&] { v.stop(); });
      } else {
        link.losses.fetch_add(1);
      }
      // The cue buttons unlock at once, not after the 50 s wait.
      ASSERT_TRUE(log.waitForEntry("view unlock", unlocks + 1, 3000));
      ASSERT_TRUE(drained());
      const auto frames = log.frames();
      const Seq after(frames.begin() + static_cast<long>(before) + 1, frames.end());
      EXPECT_EQ(after, takeover ? Seq{"20 00 20"} : Seq{}) << "nothing after the cue frame";
    }
  }
}
