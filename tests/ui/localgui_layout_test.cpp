// The control window without a controller: placement for each deck type, labels and commands,
// fonts and colours, and the DeckView calls arriving from other threads.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <memory>
#include <thread>

#include "app/ControllerApp.h"
#include "ui/qt/LocalGUI.h"

namespace {

enum class Kind { Tape, Lx1, Zarix };

void setKind(Kind kind) {
  ControllerApp::lx1 = kind == Kind::Lx1;
  ControllerApp::zarix = kind == Kind::Zarix;
  ControllerApp::lanc = false;
  ControllerApp::width = 320;
  ControllerApp::fontheight = 13;
  ControllerApp::title = " ORVA_v2";
  ControllerApp::note = "Suite 2";
}

bool waitFor(const std::function<bool()>& done, int ms = 3000) {
  return QTest::qWaitFor(done, ms);
}

struct Place {
  const char* name;
  int x, y, w, h;
};

// Columns 5, 65, 125, 185, 245; rows as the gaps give them.
const Place kTapePlaces[] = {
    {"vcrlabel", 5, 5, 180, 24},      {"tcfield", 185, 5, 120, 24},
    {"brew", 5, 37, 60, 24},          {"bpause", 65, 37, 60, 24},
    {"bstop", 125, 37, 60, 24},       {"bplay", 185, 37, 60, 24},
    {"bfwd", 245, 37, 60, 24},        {"bslowfifth", 5, 65, 60, 24},
    {"bslowthird", 65, 65, 60, 24},   {"bslowhalf", 125, 65, 60, 24},
    {"bfasttwo", 185, 65, 60, 24},    {"bfastfive", 245, 65, 60, 24},
    {"beeon", 5, 93, 60, 24},         {"beeoff", 65, 93, 60, 24},
    {"brecord", 125, 93, 60, 24},     {"bsbyon", 185, 93, 60, 24},
    {"bsbyoff", 245, 93, 60, 24},     {"bsetcue", 5, 127, 60, 24},
    {"bcue", 65, 127, 60, 24},        {"bcueplay", 125, 127, 60, 24},
    {"bsetreview", 185, 127, 60, 24}, {"bcueout", 245, 127, 60, 24},
    {"cuefield", 5, 157, 120, 24},    {"breview", 125, 157, 60, 24},
    {"endfield", 185, 157, 120, 24},  {"bjogr", 5, 189, 100, 24},
    {"bscript", 125, 189, 60, 24},    {"bjogf", 205, 189, 100, 24},
    {"vsb", 5, 221, 300, 25},         {"btavlist", 5, 251, 100, 24},
    {"blogger", 205, 251, 100, 24},   {"statuslabel", 5, 277, 100, 24},
    {"statusfield", 5, 301, 300, 24},
};

// No slow/fast row, no E-E or standby, no shuttle; the jog row follows the fields after 6.
const Place kLx1Places[] = {
    {"lx1label", 5, 5, 180, 24},      {"tcfield", 185, 5, 120, 24},
    {"brew", 5, 37, 60, 24},          {"bpause", 65, 37, 60, 24},
    {"bstop", 125, 37, 60, 24},       {"bplay", 185, 37, 60, 24},
    {"bfwd", 245, 37, 60, 24},        {"brecord", 125, 65, 60, 24},
    {"bsetcue", 5, 99, 60, 24},       {"bcue", 65, 99, 60, 24},
    {"bcueplay", 125, 99, 60, 24},    {"bsetreview", 185, 99, 60, 24},
    {"bcueout", 245, 99, 60, 24},     {"cuefield", 5, 129, 120, 24},
    {"breview", 125, 129, 60, 24},    {"endfield", 185, 129, 120, 24},
    {"bjogr", 5, 159, 100, 24},       {"bscript", 125, 159, 60, 24},
    {"bjogf", 205, 159, 100, 24},     {"btavlist", 5, 189, 100, 24},
    {"blogger", 205, 189, 100, 24},   {"statuslabel", 5, 215, 100, 24},
    {"statusfield", 5, 239, 300, 24},
};

void expectPlaces(const LocalGUI& gui, const Place* begin, const Place* end) {
  for (const Place* p = begin; p != end; ++p) {
    auto* w = gui.findChild<QWidget*>(QString::fromLatin1(p->name));
    ASSERT_NE(w, nullptr) << p->name;
    EXPECT_EQ(w->geometry(), QRect(p->x, p->y, p->w, p->h)) << p->name;
  }
}

QPushButton* button(const LocalGUI& gui, const char* name) {
  return gui.findChild<QPushButton*>(QString::fromLatin1(name));
}

QLineEdit* field(const LocalGUI& gui, const char* name) {
  return gui.findChild<QLineEdit*>(QString::fromLatin1(name));
}

}  // namespace

TEST(LocalGuiLayout, TapeDeckPlacesEveryRowAndColumn) {
  setKind(Kind::Tape);
  LocalGUI gui;
  expectPlaces(gui, std::begin(kTapePlaces), std::end(kTapePlaces));
  EXPECT_EQ(gui.size(), QSize(320, 301 + 24 + 8));
  EXPECT_EQ(gui.findChildren<QPushButton*>().size(), 26);
}

TEST(LocalGuiLayout, Lx1DropsTapeRowsAndMovesTheRestUp) {
  setKind(Kind::Lx1);
  LocalGUI gui;
  expectPlaces(gui, std::begin(kLx1Places), std::end(kLx1Places));
  EXPECT_EQ(gui.size(), QSize(320, 239 + 24 + 8));
  for (const char* absent : {"bslowfifth", "bslowthird", "bslowhalf", "bfasttwo", "bfastfive",
                             "beeon", "beeoff", "bsbyon", "bsbyoff", "vsb", "vcrlabel"}) {
    EXPECT_EQ(gui.findChild<QWidget*>(QString::fromLatin1(absent)), nullptr) << absent;
  }
  EXPECT_EQ(gui.findChildren<QPushButton*>().size(), 17);
  EXPECT_EQ(gui.component(DeckButton::StandbyOn), nullptr);
  EXPECT_EQ(gui.component(DeckButton::Shuttle), nullptr);
}

TEST(LocalGuiLayout, WidthComesFromTheSettingNotFromTheGrid) {
  setKind(Kind::Tape);
  ControllerApp::width = 400;
  LocalGUI gui;
  EXPECT_EQ(gui.width(), 400);
  EXPECT_EQ(button(gui, "bfwd")->geometry().right(), 245 + 60 - 1);
}

TEST(LocalGuiLayout, LabelsAndActionCommands) {
  setKind(Kind::Tape);
  LocalGUI gui;
  const struct {
    const char* name;
    const char* label;
    const char* command;
  } expected[] = {
      {"brew", "<< Rew", "Rewind"},
      {"bpause", "Pause ||", "Pause"},
      {"bstop", "Stop *", "Stop"},
      {"bplay", "Play >", "Play"},
      {"bfwd", "Fwd >>", "Forward"},
      {"bslowfifth", "Slow/5", "Slow5"},
      {"bslowthird", "Slow/3", "Slow3"},
      {"bslowhalf", "Slow/2", "Slow2"},
      {"bfasttwo", "FastX2", "Fast2"},
      {"bfastfive", "FastX5", "Fast5"},
      {"beeon", "EEOn", "EEOn"},
      {"beeoff", "EEOff", "EEOff"},
      {"brecord", "REC", "Record"},
      {"bsbyon", "SbyON", "Sbyon"},
      {"bsbyoff", "SbyOFF", "Sbyoff"},
      {"bsetcue", "SetIn", "SetCue"},
      {"bcue", "CueIn", "Cue"},
      {"bcueplay", "Cue/Play", "Cueplay"},
      {"bsetreview", "SetOut", "SetRev"},
      {"bcueout", "CueOut", "CueOut"},
      {"breview", "Review", "Review"},
      {"bjogr", "<| Jog", "Jogr"},
      {"bscript", "SCRIPT", "SCRIPT"},
      {"bjogf", "Jog |>", "Jogf"},
      {"btavlist", "LX1 Tavlist", "Tavlist"},
  };
  for (const auto& e : expected) {
    QPushButton* b = button(gui, e.name);
    ASSERT_NE(b, nullptr) << e.name;
    EXPECT_EQ(b->text(), QString::fromLatin1(e.label)) << e.name;
    EXPECT_EQ(b->property(LocalGUI::kActionCommand).toString(), QString::fromLatin1(e.command))
        << e.name;
  }
  ASSERT_NE(button(gui, "blogger"), nullptr);
  EXPECT_EQ(button(gui, "blogger")->text(), "Logger Window");
  EXPECT_TRUE(button(gui, "blogger")->property(LocalGUI::kActionCommand).toString().isEmpty());
  EXPECT_EQ(gui.findChild<QLabel*>("statuslabel")->text(), "Status/Results");
}

TEST(LocalGuiLayout, CaptionTitleFontsAndColours) {
  setKind(Kind::Tape);
  {
    LocalGUI gui;
    EXPECT_EQ(gui.windowTitle(), " ORVA_v2");
    EXPECT_EQ(gui.findChild<QLabel*>("vcrlabel")->text(), "VTR Controls - Suite 2");
    EXPECT_EQ(gui.palette().color(QPalette::Window), QColor(90, 170, 250));
    EXPECT_EQ(gui.font().pixelSize(), 13);
    EXPECT_EQ(gui.font().styleHint(), QFont::SansSerif);

    QLineEdit* tc = field(gui, "tcfield");
    EXPECT_TRUE(tc->isReadOnly());
    EXPECT_EQ(tc->text(), "00:00:00:00");
    EXPECT_EQ(tc->font().pixelSize(), 18);
    EXPECT_EQ(tc->palette().color(QPalette::Base), QColor(Qt::black));
    EXPECT_EQ(tc->palette().color(QPalette::Text), QColor(250, 80, 80));
    for (const char* name : {"cuefield", "endfield"}) {
      EXPECT_FALSE(field(gui, name)->isReadOnly()) << name;
      EXPECT_EQ(field(gui, name)->font().pixelSize(), 18) << name;
      EXPECT_EQ(field(gui, name)->text(), "00:00:00:00") << name;
    }
    EXPECT_TRUE(field(gui, "statusfield")->isReadOnly());
    for (const char* name : {"brecord", "bscript"}) {
      EXPECT_TRUE(button(gui, name)->font().bold()) << name;
      EXPECT_EQ(button(gui, name)->palette().color(QPalette::ButtonText), QColor(Qt::red));
    }
    EXPECT_FALSE(button(gui, "bplay")->font().bold());

    auto* vsb = gui.findChild<QScrollBar*>("vsb");
    EXPECT_EQ(vsb->orientation(), Qt::Horizontal);
    EXPECT_EQ(vsb->minimum(), 0);
    EXPECT_EQ(vsb->maximum(), 95);
    EXPECT_EQ(vsb->pageStep(), 20);
    EXPECT_EQ(vsb->value(), 48);
  }
  setKind(Kind::Zarix);
  {
    LocalGUI gui;
    EXPECT_EQ(gui.findChild<QLabel*>("zarixlabel")->text(), "REC Controls - Suite 2");
  }
  setKind(Kind::Lx1);
  ControllerApp::fontheight = 16;
  {
    LocalGUI gui;
    EXPECT_EQ(gui.findChild<QLabel*>("lx1label")->text(), "LX1 Controls - Suite 2");
    EXPECT_EQ(gui.font().pixelSize(), 16);
    EXPECT_EQ(button(gui, "brecord")->font().pixelSize(), 16);
  }
}

TEST(LocalGuiLayout, ShuttleSpeedRule) {
  // Dead band around the centre, then two speed steps per bar step in each direction.
  for (int v : {43, 48, 53}) {
    EXPECT_EQ(LocalGUI::shuttleSpeed(v), 0) << v;
  }
  EXPECT_EQ(LocalGUI::shuttleSpeed(54), 12);
  EXPECT_EQ(LocalGUI::shuttleSpeed(42), -12);
  EXPECT_EQ(LocalGUI::shuttleSpeed(0), -96);
  EXPECT_EQ(LocalGUI::shuttleSpeed(95), 94);
}

TEST(LocalGuiLayout, ButtonsShowTheirCommandWithoutAController) {
  setKind(Kind::Tape);
  LocalGUI gui;
  gui.show();
  QTest::mouseClick(button(gui, "brew"), Qt::LeftButton);
  EXPECT_EQ(field(gui, "statusfield")->text(), "Rewind");
  QTest::mouseClick(button(gui, "bscript"), Qt::LeftButton);
  EXPECT_EQ(field(gui, "statusfield")->text(), "SCRIPT");
}

TEST(LocalGuiView, CallsFromAnotherThreadReachTheFields) {
  setKind(Kind::Tape);
  LocalGUI gui;
  gui.show();
  std::thread t([&gui] {
    gui.ShowTC("01:02:03:04");
    gui.ShowStatus("Play ");
    gui.ShowCueField("00:10:00:00");
    gui.ShowEndField("00:11:00:00");
  });
  t.join();
  // Queued, not done in the calling thread.
  EXPECT_EQ(field(gui, "tcfield")->text(), "00:00:00:00");
  ASSERT_TRUE(waitFor([&] { return field(gui, "endfield")->text() == "00:11:00:00"; }));
  EXPECT_EQ(field(gui, "tcfield")->text(), "01:02:03:04");
  EXPECT_EQ(field(gui, "statusfield")->text(), "Play ");
  EXPECT_EQ(field(gui, "cuefield")->text(), "00:10:00:00");
}

TEST(LocalGuiView, ClipboardTakesTheText) {
  setKind(Kind::Tape);
  LocalGUI gui;
  QClipboard* cb = QGuiApplication::clipboard();
  ASSERT_NE(cb, nullptr);
  cb->setText("before");
  if (cb->text() != "before") {
    GTEST_SKIP() << "this platform plugin has no clipboard";
  }
  std::thread([&gui] { gui.copyToClipboard("01:00:00:00\n"); }).join();
  ASSERT_TRUE(waitFor([&] { return cb->text() == "01:00:00:00\n"; }));
}

TEST(LocalGuiView, CueLockDisablesTheFourCueButtonsAndTheFields) {
  setKind(Kind::Tape);
  LocalGUI gui;
  gui.show();
  const char* locked[] = {"bcue", "bcueout", "bcueplay", "breview"};
  std::thread([&gui] { gui.setCueLocked(true); }).join();
  ASSERT_TRUE(waitFor([&] { return !button(gui, "bcue")->isEnabled(); }));
  for (const char* name : locked) {
    EXPECT_FALSE(button(gui, name)->isEnabled()) << name;
    EXPECT_EQ(button(gui, name)->palette().color(QPalette::Button), LocalGUI::darkGray()) << name;
  }
  EXPECT_TRUE(field(gui, "cuefield")->isReadOnly());
  EXPECT_TRUE(field(gui, "endfield")->isReadOnly());
  EXPECT_TRUE(button(gui, "bsetcue")->isEnabled());
  EXPECT_TRUE(button(gui, "bsetreview")->isEnabled());
  EXPECT_TRUE(button(gui, "bplay")->isEnabled());

  std::thread([&gui] { gui.setCueLocked(false); }).join();
  ASSERT_TRUE(waitFor([&] { return button(gui, "bcue")->isEnabled(); }));
  for (const char* name : locked) {
    EXPECT_TRUE(button(gui, name)->isEnabled()) << name;
    EXPECT_EQ(button(gui, name)->palette().color(QPalette::Button), LocalGUI::lightGray()) << name;
  }
  EXPECT_FALSE(field(gui, "cuefield")->isReadOnly());
  EXPECT_FALSE(field(gui, "endfield")->isReadOnly());
}

TEST(LocalGuiView, HighlightBarsSurviveRepaintsUntilCleared) {
  setKind(Kind::Tape);
  LocalGUI gui;
  gui.show();
  std::thread([&gui] {
    gui.clearbuttons();
    gui.hilight(DeckButton::Play);
    gui.hilight(DeckButton::Shuttle);
    gui.hilight(DeckButton::JogReverse);
  }).join();
  ASSERT_TRUE(waitFor([&] { return gui.highlighted().size() == 3; }));

  auto barColour = [&gui](const char* name, const QImage& img) {
    QRect bar = LocalGUI::barRect(*gui.findChild<QWidget*>(QString::fromLatin1(name)));
    return img.pixelColor(bar.center());
  };
  for (int repaint = 0; repaint < 2; ++repaint) {
    gui.repaint();
    QImage img = gui.grab().toImage();
    EXPECT_EQ(barColour("bplay", img), QColor(Qt::red)) << repaint;
    EXPECT_EQ(barColour("vsb", img), QColor(Qt::red)) << repaint;
    EXPECT_EQ(barColour("bjogr", img), QColor(Qt::red)) << repaint;
    EXPECT_EQ(barColour("bstop", img), LocalGUI::backgroundcol()) << repaint;
  }
  // The bar is exactly 2 pixels high, directly above the button.
  QImage img = gui.grab().toImage();
  QWidget* play = gui.findChild<QWidget*>("bplay");
  EXPECT_EQ(img.pixelColor(play->x() + 5, play->y() - 3), LocalGUI::backgroundcol());
  EXPECT_EQ(img.pixelColor(play->x() + 5, play->y() - 2), QColor(Qt::red));
  EXPECT_EQ(img.pixelColor(play->x() + 5, play->y() - 1), QColor(Qt::red));

  std::thread([&gui] { gui.clearbuttons(); }).join();
  ASSERT_TRUE(waitFor([&] { return gui.highlighted().empty(); }));
  img = gui.grab().toImage();
  EXPECT_EQ(barColour("bplay", img), LocalGUI::backgroundcol());
  EXPECT_EQ(barColour("vsb", img), LocalGUI::backgroundcol());
}

// A status poll that finds the deck as before draws nothing: no highlight bar, no status or
// timecode field. Only the next change is drawn.
TEST(LocalGuiView, APollThatChangesNothingDrawsNothing) {
  setKind(Kind::Tape);
  LocalGUI gui;
  gui.show();
  auto poll = [&gui](const std::string& tc) {
    std::thread([&gui, tc] {
      gui.ShowTC(tc);
      gui.clearbuttons();
      gui.hilight(DeckButton::Stop);
      gui.ShowStatus("Stop ");
    }).join();
  };
  poll("00:00:01:00");
  ASSERT_TRUE(waitFor([&] { return field(gui, "statusfield")->text() == "Stop "; }));
  QTest::qWait(50);  // the first drawing of the window and of the bar

  struct PaintLog : QObject {
    std::vector<std::pair<QObject*, QRect>> paints;
    bool eventFilter(QObject* o, QEvent* e) override {
      if (e->type() == QEvent::Paint) {
        paints.emplace_back(o, static_cast<QPaintEvent*>(e)->rect());
      }
      return false;
    }
  } log;
  QWidget* tc = field(gui, "tcfield");
  for (QObject* o : {static_cast<QObject*>(&gui), static_cast<QObject*>(tc),
                     static_cast<QObject*>(field(gui, "statusfield"))}) {
    o->installEventFilter(&log);
  }
  for (int i = 0; i < 3; ++i) {
    poll("00:00:01:00");
  }
  poll("00:00:01:01");  // a new timecode tells when the polls before it have been handled
  ASSERT_TRUE(waitFor([&] {
    return std::any_of(log.paints.begin(), log.paints.end(),
                       [tc](const auto& p) { return p.first == tc; });
  }));
  const QRect bar = LocalGUI::barRect(*gui.findChild<QWidget*>("bstop"));
  for (const auto& [who, rect] : log.paints) {
    EXPECT_NE(who, field(gui, "statusfield"));
    EXPECT_FALSE(who == &gui && rect.intersects(bar)) << rect.x() << "," << rect.y();
  }
  EXPECT_EQ(gui.highlighted(), std::set<DeckButton>{DeckButton::Stop});
}

TEST(LocalGuiView, Lx1IgnoresHighlightsOfComponentsItHasNot) {
  setKind(Kind::Lx1);
  LocalGUI gui;
  std::thread([&gui] {
    gui.hilight(DeckButton::StandbyOn);
    gui.hilight(DeckButton::Shuttle);
    gui.hilight(DeckButton::Stop);
  }).join();
  ASSERT_TRUE(waitFor([&] { return !gui.highlighted().empty(); }));
  EXPECT_EQ(gui.highlighted(), std::set<DeckButton>{DeckButton::Stop});
}

// Writes the two windows as PNG files when ORVA_SCREENSHOT_DIR names a folder (for the docs).
TEST(LocalGuiView, Screenshots) {
  const QString dir = qEnvironmentVariable("ORVA_SCREENSHOT_DIR");
  if (dir.isEmpty()) {
    GTEST_SKIP() << "set ORVA_SCREENSHOT_DIR to write the screenshots";
  }
  for (Kind kind : {Kind::Tape, Kind::Lx1}) {
    setKind(kind);
    ControllerApp::note = "Demo";
    LocalGUI gui;
    gui.show();
    gui.ShowTC("01:02:03:04");
    gui.ShowStatus("Play ");
    gui.ShowCueField("01:00:10:00");
    gui.ShowEndField("01:00:20:00");
    gui.clearbuttons();
    gui.hilight(DeckButton::Play);
    ASSERT_TRUE(waitFor([&] { return !gui.highlighted().empty(); }));
    const QString file = QDir(dir).filePath(kind == Kind::Tape ? "control-window-tape.png"
                                                               : "control-window-lx1.png");
    ASSERT_TRUE(gui.grab().save(file)) << file.toStdString();
  }
}
