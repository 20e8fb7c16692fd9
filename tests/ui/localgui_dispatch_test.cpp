// The control window driving a real deck controller over a recording command link: what each
// button, the shuttle bar and the fields send, in which order, and that the window never waits
// for the deck.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"
#include "deck/Sleeper.h"
#include "serial/CommandLink.h"
#include "ui/qt/EDLViewer.h"
#include "ui/qt/LocalGUI.h"
#include "ui/qt/LoggerGUI.h"

namespace {

// Frames sent (as hex) and waits taken ("(600)"), in the order they happened.
class Wire {
 public:
  void add(std::string event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
  }
  std::vector<std::string> events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
};

std::string hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  char buf[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", b);
    out += buf;
  }
  return out;
}

// A deck that acknowledges everything and answers the time request with a set timecode. A
// closed gate holds every exchange until it opens, like a deck that is slow to answer.
class FakeLink : public CommandLink {
 public:
  explicit FakeLink(Wire& wire) : wire_(wire) {}

  SerialReply SendSerial(std::span<const std::uint8_t> command) override {
    std::unique_lock lock(mutex_);
    ++entered_;
    cv_.notify_all();
    cv_.wait(lock, [this] { return open_; });
    lock.unlock();
    wire_.add(hex(command));
    SerialReply reply;
    if (command.size() >= 2 && command[0] == 0x61 && command[1] == 0x0C) {
      reply.bytes = {0x74, 0x04, tc_[0], tc_[1], tc_[2], tc_[3]};
      reply.bytes[6] = static_cast<std::uint8_t>(0x74 + 0x04 + tc_[0] + tc_[1] + tc_[2] + tc_[3]);
      reply.count = 7;
    } else {
      reply.bytes = {0x10, 0x01, 0x11};
      reply.count = 3;
    }
    return reply;
  }
  bool hasPort() const override { return false; }  // no polling thread, no cue threads
  bool hasOutStream() const override { return true; }

  void setGate(bool open) {
    std::lock_guard lock(mutex_);
    open_ = open;
    cv_.notify_all();
  }
  bool waitEntered(int n) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(3), [&] { return entered_ >= n; });
  }
  // Frames, seconds, minutes, hours in BCD.
  void setTimecode(std::array<std::uint8_t, 4> tc) { tc_ = tc; }

 private:
  Wire& wire_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = true;
  int entered_ = 0;
  std::array<std::uint8_t, 4> tc_{};
};

// Records every wait and returns at once, so the 600 ms jog pauses cost nothing.
class RecordingSleeper : public Sleeper {
 public:
  explicit RecordingSleeper(Wire& wire) : wire_(wire) {}
  bool sleep(int ms) override {
    wire_.add("(" + std::to_string(ms) + ")");
    return !closing_;
  }
  void hold(int ms) override { wire_.add("(" + std::to_string(ms) + ")"); }
  bool waitUntil(const std::function<bool()>& done, int /*checkMs*/, int limitMs) override {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    std::unique_lock lock(mutex_);
    while (!done()) {
      if (closing_ || (limitMs >= 0 && std::chrono::steady_clock::now() >= end)) {
        return false;
      }
      cv_.wait_for(lock, std::chrono::milliseconds(5));
    }
    return true;
  }
  void wake() override { cv_.notify_all(); }
  void shutdown() override {
    closing_ = true;
    cv_.notify_all();
  }
  bool closing() const override { return closing_; }

 private:
  Wire& wire_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::atomic<bool> closing_{false};
};

enum class Kind { Tape, TapeLanc, Lx1 };

bool waitFor(const std::function<bool()>& done, int ms = 3000) {
  return QTest::qWaitFor(done, ms);
}

template <class Window>
int openWindows() {
  int n = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (qobject_cast<Window*>(w) != nullptr && w->isVisible()) {
      ++n;
    }
  }
  return n;
}

using Events = std::vector<std::string>;

class LocalGuiDispatch : public ::testing::Test {
 protected:
  void make(Kind kind) {
    ControllerApp::lx1 = kind == Kind::Lx1;
    ControllerApp::zarix = false;
    ControllerApp::lanc = kind == Kind::TapeLanc;
    ControllerApp::width = 320;
    ControllerApp::fontheight = 13;
    ControllerApp::stoponexit = true;
    ControllerApp::useclipboard = false;
    // The converter and logger windows ask for files; here nothing is chosen and nothing waits.
    EDLViewer::chooser = [](QWidget*, const QString&, const QString&, bool) { return QString(); };
    EDLViewer::pauser = [](EDLViewer*, int) {};
    LoggerGUI::chooser = [](QWidget*, const QString&, int) { return QString(); };
    gui_ = std::make_unique<LocalGUI>();
    vcr_ = std::make_unique<LocalVCR>(link_, ControllerApp::lanc, *gui_);
    vcr_->setSleeper(std::make_shared<RecordingSleeper>(wire_));
    vcr_->setLineSink([this](const std::string& line) {
      std::lock_guard lock(linesMutex_);
      lines_.push_back(line);
    });
    gui_->attach(*vcr_);
    gui_->show();
  }

  void TearDown() override {
    link_.setGate(true);
    if (gui_) {
      gui_->close();
    }
    vcr_.reset();
    gui_.reset();
  }

  QPushButton* button(const char* name) {
    return gui_->findChild<QPushButton*>(QString::fromLatin1(name));
  }
  QLineEdit* field(const char* name) {
    return gui_->findChild<QLineEdit*>(QString::fromLatin1(name));
  }
  void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
  bool idle() {
    return waitFor([this] { return vcr_->workerIdle(); });
  }
  // Presses the button and answers what the worker did for it.
  Events press(const char* name) {
    wire_.clear();
    click(name);
    EXPECT_TRUE(idle()) << name;
    return wire_.events();
  }
  std::vector<std::string> lines() {
    std::lock_guard lock(linesMutex_);
    return lines_;
  }

  Wire wire_;
  FakeLink link_{wire_};
  std::unique_ptr<LocalGUI> gui_;  // declared first: outlives the controller's threads
  std::unique_ptr<LocalVCR> vcr_;
  std::mutex linesMutex_;
  std::vector<std::string> lines_;
};

}  // namespace

TEST_F(LocalGuiDispatch, EachTransportButtonShowsItsCommandAndSendsItsFrame) {
  make(Kind::Tape);
  const struct {
    const char* button;
    const char* command;
    const char* frame;
  } cases[] = {
      {"brew", "Rewind", "20 20 40"},         {"bpause", "Pause", "21 13 00 34"},
      {"bstop", "Stop", "20 00 20"},          {"bplay", "Play", "20 01 21"},
      {"bfwd", "Forward", "20 10 30"},        {"bslowfifth", "Slow5", "21 12 2D 60"},
      {"bslowthird", "Slow3", "21 12 30 63"}, {"bslowhalf", "Slow2", "21 12 36 69"},
      {"bfasttwo", "Fast2", "21 13 4A 7E"},   {"bfastfive", "Fast5", "21 13 82 B6"},
      {"beeon", "EEOn", "20 61 81"},          {"brecord", "Record", "20 02 22"},
      {"bsbyon", "Sbyon", "20 05 25"},        {"bsbyoff", "Sbyoff", "20 04 24"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(press(c.button), Events{c.frame}) << c.button;
    EXPECT_EQ(field("statusfield")->text(), QString::fromLatin1(c.command)) << c.button;
  }
}

TEST_F(LocalGuiDispatch, StatusComesFirstAndTheWindowNeverWaitsForTheDeck) {
  make(Kind::Tape);
  link_.setGate(false);  // the deck does not answer yet
  click("brew");
  EXPECT_EQ(field("statusfield")->text(), "Rewind");
  ASSERT_TRUE(link_.waitEntered(1));
  // The worker is stuck in the exchange; the window goes on taking presses.
  click("bplay");
  EXPECT_EQ(field("statusfield")->text(), "Play");
  std::thread([g = gui_.get()] { g->ShowTC("00:00:01:00"); }).join();
  EXPECT_TRUE(waitFor([this] { return field("tcfield")->text() == "00:00:01:00"; }));
  EXPECT_TRUE(wire_.events().empty());

  link_.setGate(true);
  ASSERT_TRUE(idle());
  EXPECT_EQ(wire_.events(), (Events{"20 20 40", "20 01 21"}));
}

TEST_F(LocalGuiDispatch, JogAndEEOffOnATapeDeck) {
  make(Kind::Tape);
  EXPECT_EQ(press("bjogf"), (Events{"21 11 10 42", "(600)", "20 00 20"}));
  EXPECT_EQ(press("bjogr"), (Events{"21 21 10 52", "(600)", "20 00 20"}));
  // E-E off by jogging: forward, stop, reverse, stop; no E-E off frame.
  EXPECT_EQ(press("beeoff"),
            (Events{"21 11 10 42", "(600)", "20 00 20", "21 21 10 52", "(600)", "20 00 20"}));
  EXPECT_EQ(field("statusfield")->text(), "EEOff");
}

TEST_F(LocalGuiDispatch, JogOnALancDeck) {
  make(Kind::TapeLanc);
  EXPECT_EQ(press("bjogf"), Events{"21 11 10 42"});
  EXPECT_EQ(press("bjogr"), (Events{"21 21 10 52", "21 13 00 34"}));
}

TEST_F(LocalGuiDispatch, JogOnTheLx1SendsTheFrameOfItsDirection) {
  make(Kind::Lx1);
  EXPECT_EQ(press("bjogf"), Events{"21 11 10 42"});
  EXPECT_EQ(press("bjogr"), Events{"21 21 10 52"});
  EXPECT_EQ(field("statusfield")->text(), "Jogr");
}

TEST_F(LocalGuiDispatch, ShuttleBarSpeeds) {
  make(Kind::Tape);
  auto* vsb = gui_->findChild<QScrollBar*>("vsb");
  const struct {
    int value;
    const char* frame;
  } cases[] = {
      {43, "21 13 00 34"},   {53, "21 13 00 34"},    {54, "21 13 0C 40 00"}, {42, "21 23 0C 50 00"},
      {0, "21 23 60 A4 00"}, {95, "21 13 5E 92 00"}, {48, "21 13 00 34"},    {70, "21 13 2C 60 00"},
  };
  const QString statusBefore = field("statusfield")->text();
  for (const auto& c : cases) {
    wire_.clear();
    vsb->setValue(c.value);
    ASSERT_TRUE(idle());
    EXPECT_EQ(wire_.events(), Events{c.frame}) << c.value;
  }
  // The bar stays where it was left and does not use the status line.
  EXPECT_EQ(vsb->value(), 70);
  EXPECT_EQ(field("statusfield")->text(), statusBefore);
}

TEST_F(LocalGuiDispatch, ShuttleMovesWaitingForABusyDeckCollapseToTheNewestInOrder) {
  make(Kind::Tape);
  auto* vsb = gui_->findChild<QScrollBar*>("vsb");
  link_.setGate(false);
  click("bstop");
  ASSERT_TRUE(link_.waitEntered(1));
  vsb->setValue(60);
  vsb->setValue(70);
  vsb->setValue(80);  // these three become one move, at 80
  click("bplay");
  vsb->setValue(90);  // after Play: a move of its own
  link_.setGate(true);
  ASSERT_TRUE(idle());
  EXPECT_EQ(wire_.events(), (Events{"20 00 20", "21 13 40 74 00", "20 01 21", "21 13 54 88 00"}));
}

TEST_F(LocalGuiDispatch, EnterInTheCueFieldEncodesTheTypedCuePoint) {
  make(Kind::Tape);
  QLineEdit* cue = field("cuefield");
  cue->selectAll();
  QTest::keyClicks(cue, "01:02:03:04");
  EXPECT_EQ(vcr_->cueText(), "01:02:03:04");  // the store follows every edit
  QTest::keyClick(cue, Qt::Key_Return);
  ASSERT_TRUE(idle());
  EXPECT_EQ(vcr_->getcueframe(),
            (std::array<std::uint8_t, 7>{0x24, 0x31, 0x04, 0x03, 0x02, 0x01, 0x5F}));
  EXPECT_TRUE(wire_.events().empty());
}

TEST_F(LocalGuiDispatch, EnterInTheEndFieldOnlyKeepsTheStoreInStep) {
  make(Kind::Tape);
  const auto frameBefore = vcr_->getcueframe();
  QLineEdit* end = field("endfield");
  end->selectAll();
  QTest::keyClicks(end, "00:00:10:00");
  QTest::keyClick(end, Qt::Key_Return);
  ASSERT_TRUE(idle());
  EXPECT_EQ(vcr_->endText(), "00:00:10:00");
  EXPECT_EQ(vcr_->getcueframe(), frameBefore);
  EXPECT_TRUE(wire_.events().empty());
}

TEST_F(LocalGuiDispatch, AMalformedCuePointIsReportedAndTheWindowGoesOn) {
  make(Kind::Tape);
  const auto frameBefore = vcr_->getcueframe();
  QLineEdit* cue = field("cuefield");
  cue->selectAll();
  QTest::keyClicks(cue, "1:2");
  QTest::keyClick(cue, Qt::Key_Return);
  ASSERT_TRUE(idle());
  EXPECT_EQ(vcr_->getcueframe(), frameBefore);
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_NE(lines()[0].find("1:2"), std::string::npos) << lines()[0];
  EXPECT_EQ(press("bplay"), Events{"20 01 21"});
}

TEST_F(LocalGuiDispatch, SetInAndSetOutTakeTheDisplayedTimecode) {
  make(Kind::Tape);
  link_.setTimecode({0x04, 0x03, 0x02, 0x01});
  vcr_->CommandB8();  // one poll: the deck says 01:02:03:04
  ASSERT_TRUE(waitFor([this] { return field("tcfield")->text() == "01:02:03:04"; }));

  press("bsetcue");
  EXPECT_EQ(field("statusfield")->text(), "SetCue");
  ASSERT_TRUE(waitFor([this] { return field("cuefield")->text() == "01:02:03:04"; }));
  EXPECT_EQ(vcr_->getcueframe(),
            (std::array<std::uint8_t, 7>{0x24, 0x31, 0x04, 0x03, 0x02, 0x01, 0x5F}));

  press("bsetreview");
  EXPECT_EQ(field("statusfield")->text(), "SetRev");
  ASSERT_TRUE(waitFor([this] { return field("endfield")->text() == "01:02:03:04"; }));
  EXPECT_EQ(vcr_->endText(), "01:02:03:04");
}

TEST_F(LocalGuiDispatch, EachTavlistPressOpensAnotherConverterWindow) {
  make(Kind::Lx1);
  const int before = openWindows<EDLViewer>();
  EXPECT_TRUE(press("btavlist").empty());
  EXPECT_EQ(field("statusfield")->text(), "Tavlist");
  press("btavlist");
  EXPECT_EQ(openWindows<EDLViewer>(), before + 2);
}

TEST_F(LocalGuiDispatch, LoggerButtonOpensOneLoggerAndIsDisabledWhileItIsOpen) {
  make(Kind::Tape);
  QPushButton* blogger = button("blogger");
  click("blogger");
  ASSERT_TRUE(waitFor([] { return openWindows<LoggerGUI>() == 1; }));
  EXPECT_FALSE(blogger->isEnabled());
  EXPECT_EQ(blogger->palette().color(QPalette::Button), LocalGUI::darkGray());
  gui_->openLogger();  // a second request while it is open: no second window
  QTest::qWait(0);
  EXPECT_EQ(openWindows<LoggerGUI>(), 1);

  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (qobject_cast<LoggerGUI*>(w) != nullptr) {
      w->close();
    }
  }
  ASSERT_TRUE(waitFor([blogger] { return blogger->isEnabled(); }));
  EXPECT_EQ(blogger->palette().color(QPalette::Button), LocalGUI::lightGray());
}

TEST_F(LocalGuiDispatch, ClosingTheWindowStopsTheDeckAndClosesTheOtherWindows) {
  make(Kind::Tape);
  click("btavlist");
  click("blogger");
  ASSERT_TRUE(waitFor([] { return openWindows<LoggerGUI>() == 1; }));
  wire_.clear();
  QSignalSpy closed(gui_.get(), &LocalGUI::closed);
  gui_->close();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_EQ(wire_.events(), (Events{"20 00 20", "(500)", "20 00 20"}));
  EXPECT_EQ(openWindows<LoggerGUI>(), 0);
  EXPECT_EQ(openWindows<EDLViewer>(), 0);
  EXPECT_FALSE(gui_->isVisible());

  // Nothing reaches the deck after the close.
  wire_.clear();
  click("bplay");
  gui_->close();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_TRUE(wire_.events().empty());
}

TEST_F(LocalGuiDispatch, ClosingWithoutStopOnExitSendsNothing) {
  make(Kind::Tape);
  ControllerApp::stoponexit = false;
  wire_.clear();
  gui_->close();
  EXPECT_TRUE(wire_.events().empty());
}
