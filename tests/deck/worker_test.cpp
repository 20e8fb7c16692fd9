#include <gtest/gtest.h>

#include <stdexcept>

#include "deck/OperatorWorker.h"
#include "deck/support/DeckFixture.h"

using Seq = std::vector<std::string>;

class WorkerTest : public DeckFixture {};

TEST_F(WorkerTest, ActionsRunInOrderAndAnErrorDoesNotStopTheWorker) {
  auto& v = make();
  v.post([&] { v.play(); });
  v.post([] { throw std::runtime_error("boom"); });
  v.post([&] { v.stop(); });
  ASSERT_TRUE(log.waitForEntry("20 00 20"));
  EXPECT_EQ(log.frames(), (Seq{"20 01 21", "20 00 20"}));
  EXPECT_EQ(lines(), (Seq{"Deck action failed: boom"}));
}

TEST_F(WorkerTest, BadCueFieldIsReportedAsOneLineAndNothingIsSent) {
  auto& v = make();
  v.editCueText("01:0x:00:00");
  v.post([&] { v.cue(); });
  v.post([&] { v.play(); });
  ASSERT_TRUE(log.waitForEntry("20 01 21"));
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_NE(lines()[0].find("Deck action failed: Cue point \"01:0x:00:00\""), std::string::npos);
  EXPECT_EQ(log.frames(), (Seq{"20 01 21"}));
}

TEST_F(WorkerTest, CloseDropsQueuedActionsAndEndsTheRunningWait) {
  auto& v = make();
  sleeper->realCapMs = 600000;  // the Wait below would last ten minutes
  v.post([&] { v.ParseNetCommand("Wait600"); });
  v.post([&] { v.play(); });
  ASSERT_TRUE(log.waitForEntry("(600000 ms)"));
  const auto t0 = std::chrono::steady_clock::now();
  v.close();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  EXPECT_TRUE(log.frames().empty());
}

TEST(OperatorWorker, ReportsNonStandardExceptions) {
  std::mutex m;
  std::vector<std::string> reports;
  {
    OperatorWorker worker([&](const std::string& r) {
      std::lock_guard lock(m);
      reports.push_back(r);
    });
    worker.post([] { throw 42; });
    std::atomic<bool> ran{false};
    worker.post([&] { ran = true; });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!worker.idle() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::yield();
    }
    EXPECT_TRUE(ran.load());
  }
  EXPECT_EQ(reports, (Seq{"unknown error"}));
}
