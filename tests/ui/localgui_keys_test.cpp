// The control window's editor keys, and a transport control taking the deck over from a running
// sequence while SetIn takes the timecode shown at the press.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/ControllerApp.h"
#include "deck/ConditionSleeper.h"
#include "deck/LocalVCR.h"
#include "serial/CommandLink.h"
#include "ui/qt/LocalGUI.h"

namespace {

using Frames = std::vector<std::string>;

// Records the frames sent; answers the time request with a set timecode, all else with ACK.
class KeysLink : public CommandLink {
 public:
  SerialReply SendSerial(std::span<const std::uint8_t> command) override {
    std::string h;
    char buf[4];
    for (std::uint8_t b : command) {
      std::snprintf(buf, sizeof buf, h.empty() ? "%02X" : " %02X", b);
      h += buf;
    }
    std::lock_guard lock(mutex_);
    SerialReply reply;
    if (command.size() >= 2 && command[0] == 0x61 && command[1] == 0x0C) {
      reply.bytes = {0x74, 0x04, tc_[0], tc_[1], tc_[2], tc_[3]};
      reply.count = 7;
      return reply;
    }
    frames_.push_back(h);
    reply.bytes = {0x10, 0x01, 0x11};
    reply.count = 3;
    return reply;
  }
  bool hasPort() const override { return false; }  // no polling thread, no cue threads
  bool hasOutStream() const override { return true; }
  Frames take() {
    std::lock_guard lock(mutex_);
    return std::exchange(frames_, {});
  }
  Frames frames() {
    std::lock_guard lock(mutex_);
    return frames_;
  }
  void setTimecode(std::array<std::uint8_t, 4> tc) {
    std::lock_guard lock(mutex_);
    tc_ = tc;
  }

 private:
  std::mutex mutex_;
  Frames frames_;
  std::array<std::uint8_t, 4> tc_{};
};

// Fixed waits return at once, except the waits of a run while `holdRuns` is set: those last
// until the operator takes the run over (or 10 s), so a test can press during them.
class KeysSleeper : public ConditionSleeper {
 public:
  bool sleep(int) override { return !closing(); }
  bool sleepUnless(int, const std::atomic<bool>& cancel) override {
    return holdRuns ? ConditionSleeper::sleepUnless(10000, cancel) : !closing() && !cancel.load();
  }
  std::atomic<bool> holdRuns{false};
};

class LocalGuiKeys : public ::testing::Test {
 protected:
  void make(bool lx1) {
    ControllerApp::resetDefaults();
    ControllerApp::lx1 = lx1;
    ControllerApp::stoponexit = false;
    ControllerApp::useclipboard = false;
    gui_ = std::make_unique<LocalGUI>();
    vcr_ = std::make_unique<LocalVCR>(link_, false, *gui_);
    vcr_->setSleeper(sleeper_);
    gui_->attach(*vcr_);
    gui_->show();
  }
  void TearDown() override {
    if (gui_) {
      gui_->close();
    }
    vcr_.reset();
    gui_.reset();
    ControllerApp::resetDefaults();
  }
  QLineEdit* field(const char* name) {
    return gui_->findChild<QLineEdit*>(QString::fromLatin1(name));
  }
  // Presses the key on the focused component, waits for the worker and answers the frames.
  Frames press(Qt::Key key, QWidget* on = nullptr) {
    link_.take();
    QTest::keyClick(on != nullptr ? on : gui_.get(), key);
    EXPECT_TRUE(QTest::qWaitFor([this] { return vcr_->workerIdle(); }, 3000));
    return link_.take();
  }

  KeysLink link_;
  std::shared_ptr<KeysSleeper> sleeper_ = std::make_shared<KeysSleeper>();
  std::unique_ptr<LocalGUI> gui_;
  std::unique_ptr<LocalVCR> vcr_;
};

}  // namespace

TEST_F(LocalGuiKeys, EachKeyActsAsItsButtonOnEachDeckKind) {
  const struct {
    bool lx1;
    Qt::Key key;
    const char* command;  // what the status line shows first
    Frames frames;
  } cases[] = {
      {false, Qt::Key_Space, "Play", {"20 01 21"}},
      {false, Qt::Key_K, "Pause", {"21 13 00 34"}},
      {false, Qt::Key_Escape, "Stop", {"20 00 20"}},
      // J / L shuttle at 1x, 2x, 4x and 8x: N = 64, 74, 83, 93; a change of direction starts
      // again at 1x.
      {false, Qt::Key_L, "ShuttleFwd", {"21 13 40 74 00"}},
      {false, Qt::Key_L, "ShuttleFwd", {"21 13 4A 7E 00"}},
      {false, Qt::Key_L, "ShuttleFwd", {"21 13 53 87 00"}},
      {false, Qt::Key_L, "ShuttleFwd", {"21 13 5D 91 00"}},
      {false, Qt::Key_L, "ShuttleFwd", {"21 13 5D 91 00"}},
      {false, Qt::Key_J, "ShuttleRev", {"21 23 40 84 00"}},
      {false, Qt::Key_J, "ShuttleRev", {"21 23 4A 8E 00"}},
      {false, Qt::Key_Right, "Jogf", {"21 11 10 42", "20 00 20"}},
      {false, Qt::Key_Left, "Jogr", {"21 21 10 52", "20 00 20"}},
      {false, Qt::Key_I, "SetCue", {}},
      {false, Qt::Key_O, "SetRev", {}},
      {true, Qt::Key_J, "Jogr", {"21 21 10 52"}},
      {true, Qt::Key_L, "Jogf", {"21 11 10 42"}},
      {true, Qt::Key_Left, "Jogr", {"21 21 10 52"}},
      {true, Qt::Key_Right, "Jogf", {"21 11 10 42"}},
      {true, Qt::Key_Escape, "Stop", {"20 00 20"}},
  };
  for (bool lx1 : {false, true}) {
    make(lx1);
    for (const auto& c : cases) {
      if (c.lx1 == lx1) {
        EXPECT_EQ(press(c.key), c.frames) << c.command << " lx1=" << lx1;
        EXPECT_EQ(field("statusfield")->text(), QString::fromLatin1(c.command));
      }
    }
    TearDown();
  }
  // Space pauses while the polled status says play.
  make(false);
  EXPECT_EQ(LocalGUI::keyCommand(Qt::Key_Space, false, true), "Pause");
  EXPECT_EQ(LocalGUI::keyCommand(Qt::Key_A, false, false), "");
  // Tooltips name the keys.
  auto tip = [this](const char* b) {
    return gui_->findChild<QPushButton*>(QString::fromLatin1(b))->toolTip();
  };
  EXPECT_EQ(tip("bstop"), "Key: Escape");
  EXPECT_EQ(tip("bplay"), "Key: Space");
  EXPECT_EQ(tip("bpause"), "Keys: Space while playing, K");
  EXPECT_EQ(tip("bjogf"), "Key: Right");
  EXPECT_EQ(tip("bsetcue"), "Key: I");
}

TEST_F(LocalGuiKeys, AFocusedFieldTakesItsKeysButEscapeStillStops) {
  make(false);
  QLineEdit* cue = field("cuefield");
  cue->setFocus();
  cue->clear();
  EXPECT_TRUE(press(Qt::Key_Space, cue).empty());
  EXPECT_TRUE(press(Qt::Key_I, cue).empty());
  EXPECT_EQ(cue->text(), " i");
  EXPECT_EQ(press(Qt::Key_Escape, cue), Frames{"20 00 20"});
  // A focused button does not take Space as a click: the key plays.
  auto* review = gui_->findChild<QPushButton*>(QStringLiteral("breview"));
  review->setFocus();
  EXPECT_EQ(press(Qt::Key_Space, review), Frames{"20 01 21"});
}

TEST_F(LocalGuiKeys, EscapeTakesOverAJogSequenceAndSetInTakesTheTimecodeAtThePress) {
  make(false);
  sleeper_->holdRuns = true;
  link_.setTimecode({0x20, 0x02, 0x00, 0x00});  // 00:00:02:20
  QTest::keyClick(gui_.get(), Qt::Key_Right);   // jog forward, 600 ms, stop
  ASSERT_TRUE(QTest::qWaitFor([this] { return link_.frames() == Frames{"21 11 10 42"}; }, 3000));
  vcr_->CommandB8();  // the display shows 00:00:02:20 while the worker is busy
  ASSERT_TRUE(QTest::qWaitFor([this] { return field("tcfield")->text() == "00:00:02:20"; }));
  QTest::keyClick(gui_.get(), Qt::Key_I);
  EXPECT_EQ(vcr_->cueText(), "00:00:02:20");
  EXPECT_EQ(vcr_->getcueframe()[2], 0x20);
  link_.setTimecode({0x29, 0x04, 0x00, 0x00});  // the deck moves on
  vcr_->CommandB8();
  QTest::keyClick(gui_.get(), Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([this] { return vcr_->workerIdle(); }, 5000));
  // The sequence ended at its wait: one stop, the operator's.
  EXPECT_EQ(link_.frames(), (Frames{"21 11 10 42", "20 00 20"}));
  EXPECT_TRUE(QTest::qWaitFor([this] { return field("cuefield")->text() == "00:00:02:20"; }));
}

TEST_F(LocalGuiKeys, TheCueLockNeverHandsTheKeyboardToAFieldSoSpaceStillPlays) {
  make(false);
  QApplication::setActiveWindow(gui_.get());
  auto* review = gui_->findChild<QPushButton*>(QStringLiteral("breview"));
  review->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return review->hasFocus(); }, 2000));
  gui_->setCueLocked(true);  // a review starts: its button is disabled under the focus
  ASSERT_TRUE(QTest::qWaitFor([&] { return !review->isEnabled(); }, 2000));
  EXPECT_EQ(qobject_cast<QLineEdit*>(QApplication::focusWidget()), nullptr);
  field("endfield")->setText(QStringLiteral("00:00:05:00"));
  EXPECT_EQ(press(Qt::Key_Space, QApplication::focusWidget()), Frames{"20 01 21"});
  EXPECT_EQ(field("endfield")->text(), QStringLiteral("00:00:05:00"));
}
