// The control window's decisions without a toolkit: a recording view, a controller on a fake
// link, and the presenter between them as the window would have it.
#include <gtest/gtest.h>

#include <deque>
#include <mutex>

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"
#include "deck/support/EventLog.h"
#include "deck/support/FakeLink.h"
#include "deck/support/RecordingSleeper.h"
#include "ui/core/ControlPresenter.h"

namespace {

using Seq = std::vector<std::string>;

// Posts queue up until the test runs them, as the window's thread would.
class RecordingControlView : public ControlView {
 public:
  void post(std::function<void()> fn) override {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(fn));
  }
  void after(int, std::function<void()> fn) override { timers.push_back(std::move(fn)); }
  void showField(Field field, const std::string& text) override {
    if (field == Field::Status) {
      status = text;
    }
  }
  void showCueLock(bool locked) override { calls.push_back(locked ? "lock" : "unlock"); }
  void repaintBar(DeckButton) override { ++bars; }
  void showStale(bool stale) override { calls.push_back(stale ? "stale" : "live"); }
  void showShuttle(int value) override { calls.push_back("shuttle " + std::to_string(value)); }
  void showLoggerButton(bool enabled) override {
    calls.push_back(enabled ? "logger on" : "logger off");
  }
  bool raiseLogger() override { return false; }
  void openLogger(LocalVCR&) override { calls.push_back("open logger"); }
  void openConverter() override { calls.push_back("open converter"); }
  void copyText(const std::string&) override {}
  void closeOtherWindows() override { calls.push_back("close others"); }

  // Runs what was posted so far, on the test's thread.
  void run() {
    std::deque<std::function<void()>> now;
    {
      std::lock_guard lock(mutex_);
      now.swap(posted_);
    }
    for (auto& fn : now) {
      fn();
    }
  }

  Seq calls;
  std::string status;
  int bars = 0;
  std::vector<std::function<void()>> timers;

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> posted_;
};

enum class Kind { Tape, Lx1, Lanc };

// A controller on a fake link with the presenter as its window, for one deck kind.
struct Rig {
  explicit Rig(Kind kind) {
    ControllerApp::resetDefaults();
    ControllerApp::lx1 = kind == Kind::Lx1;
    ControllerApp::lanc = kind == Kind::Lanc;
    ControllerApp::stoponexit = false;
    presenter =
        std::make_unique<ControlPresenter>(view, ControllerApp::lx1, false, ControllerApp::lanc);
    vcr = std::make_unique<LocalVCR>(link, ControllerApp::lanc, *presenter);
    vcr->setSleeper(sleeper);
    vcr->setLineSink([](const std::string&) {});
    presenter->attach(*vcr);
  }
  ~Rig() {
    vcr->close();
    ControllerApp::resetDefaults();
  }
  bool idle() {
    return log.waitFor([this](const Seq&) { return vcr->workerIdle(); });
  }

  EventLog log;
  FakeLink link{log};
  std::shared_ptr<RecordingSleeper> sleeper = std::make_shared<RecordingSleeper>(log);
  RecordingControlView view;
  std::unique_ptr<ControlPresenter> presenter;
  std::unique_ptr<LocalVCR> vcr;
};

TEST(ControlPresenter, EachButtonRunsItsOperationOnEachDeckKind) {
  struct Case {
    Kind kind;
    const char* command;
    Seq frames;  // frames and waits, in order
  };
  const Case cases[] = {
      {Kind::Tape, "Play", {"20 01 21"}},
      {Kind::Tape, "Sbyon", {"20 05 25"}},
      {Kind::Tape, "Jogf", {"21 11 10 42", "(600 ms)", "20 00 20"}},
      {Kind::Tape,
       "EEOff",
       {"21 11 10 42", "(600 ms)", "20 00 20", "21 21 10 52", "(600 ms)", "20 00 20"}},
      {Kind::Lx1, "Jogr", {"21 21 10 52"}},
      {Kind::Lanc, "Jogr", {"21 21 10 52", "21 13 00 34"}},
      {Kind::Lanc, "Jogf", {"21 11 10 42"}},
      {Kind::Tape, "Tavlist", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    Rig r(c.kind);
    r.presenter->pressed(c.command);
    ASSERT_TRUE(r.idle());
    EXPECT_EQ(r.view.status, c.command);  // the status line shows the command at once
    EXPECT_EQ(r.log.sequence(), c.frames);
  }
}

TEST(ControlPresenter, KeysDriveTheDeckUnlessAFieldHasThemAndAHeldKeyActsOnce) {
  Rig r(Kind::Tape);
  EXPECT_FALSE(r.presenter->key(EditorKey::Space, true, false));  // typing a space in a field
  EXPECT_TRUE(r.presenter->key(EditorKey::Space, false, false));
  EXPECT_TRUE(r.presenter->key(EditorKey::Space, false, true));   // repeats: taken, no action
  EXPECT_TRUE(r.presenter->key(EditorKey::Escape, true, false));  // Escape stops from a field
  ASSERT_TRUE(r.idle());
  EXPECT_EQ(r.log.frames(), (Seq{"20 01 21", "20 00 20"}));
}

TEST(ControlPresenter, TheShuttleBarReturnsToItsCentreAfterAnyOtherTransport) {
  Rig r(Kind::Tape);
  r.presenter->shuttleMoved(0);  // full reverse
  ASSERT_TRUE(r.idle());
  r.vcr->stop();  // a script word, a remote command or a button: the deck's own transport
  r.view.run();
  EXPECT_EQ(r.presenter->shuttleValue(), ControlPresenter::shuttleCentre);
  EXPECT_EQ(r.view.calls, (Seq{"shuttle 48"}));
  // The bar's next step from the centre pauses instead of winding back at 10x.
  r.presenter->shuttleMoved(49);
  ASSERT_TRUE(r.idle());
  EXPECT_EQ(r.log.frames().back(), "21 13 00 34");
  // A bar held in its pause zone stays where the operator holds it.
  r.vcr->play();
  r.view.run();
  EXPECT_EQ(r.presenter->shuttleValue(), 49);
}

TEST(ControlPresenter, AStaleDeckClearsTheBarsUntilItAnswersAgain) {
  Rig r(Kind::Tape);
  r.presenter->hilight(DeckButton::Play);
  r.view.run();
  ASSERT_EQ(r.presenter->highlighted().size(), 1u);
  r.link.silence();
  for (int i = 0; i < 3; ++i) {
    r.vcr->CommandB8();
  }
  r.view.run();
  EXPECT_TRUE(r.presenter->stale());
  EXPECT_TRUE(r.presenter->highlighted().empty());
  r.link.silence(false);
  r.link.setTimecode("00:00:01:00");
  r.vcr->CommandB8();
  r.view.run();
  EXPECT_FALSE(r.presenter->stale());
  EXPECT_EQ(r.view.calls, (Seq{"stale", "live"}));
}

TEST(ControlPresenter, ClosingStopsTheControllerOnceAndClosesTheOtherWindows) {
  Rig r(Kind::Tape);
  ControllerApp::stoponexit = true;
  EXPECT_TRUE(r.presenter->close());
  EXPECT_FALSE(r.presenter->close());
  EXPECT_EQ(r.log.frames(), (Seq{"20 00 20", "20 00 20"}));
  EXPECT_EQ(r.view.calls, (Seq{"close others"}));
}

}  // namespace
