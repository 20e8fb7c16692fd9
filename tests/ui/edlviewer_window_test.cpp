// The converter window under the offscreen platform: layout, options per window, every button
// through QTest, the file choosers and a pause that keeps the window alive.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/ControllerApp.h"
#include "ui/qt/EDLViewer.h"

namespace fs = std::filesystem;

namespace {

std::string event(int n, const std::string& in, const std::string& out) {
  char num[8];
  std::snprintf(num, sizeof num, "%03d", n);
  return std::string(num) + "  AX       V     C        " + in + " " + out +
         " 01:00:00:00 01:00:10:00";
}

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "orva-viewer-XXXXXX").string();
    dir_ = ::mkdtemp(tmpl.data());
    std::ofstream(dir_ + "/three.edl") << "TITLE: T\nFCM: NON-DROP FRAME\n"
                                       << event(1, "00:00:10:00", "00:00:20:00") << "\n"
                                       << event(2, "00:01:00:00", "00:01:10:00") << "\n"
                                       << event(3, "00:02:00:00", "00:02:10:00") << "\n";
    ControllerApp::initialize = false;
    ControllerApp::finalize = false;
    ControllerApp::onetitle = false;
    ControllerApp::autochapter = false;
    ControllerApp::namechapters = false;
    ControllerApp::optimize = false;
    EDLViewer::chooser = [this](QWidget*, const QString& title, const QString& directory,
                                bool save) {
      asked_.push_back({title, directory, save});
      if (answers_.empty()) {
        return QString();
      }
      QString a = answers_.front();
      answers_.pop_front();
      return a;
    };
    EDLViewer::pauser = [this](EDLViewer*, int ms) { pauses_.push_back(ms); };
  }
  void TearDown() override {
    for (auto& w : windows_) {
      delete w.data();
    }
    EDLViewer::chooser = nullptr;
    EDLViewer::pauser = nullptr;
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  EDLViewer* open(const QString& answer) {
    answers_.push_back(answer);
    auto* w = new EDLViewer();
    windows_.push_back(w);
    return w;
  }
  static QString text(EDLViewer* w, const char* area) {
    return w->findChild<QPlainTextEdit*>(area)->toPlainText();
  }
  static void click(EDLViewer* w, const char* command) {
    auto* b = w->findChild<QPushButton*>(command);
    ASSERT_NE(b, nullptr) << command;
    QTest::mouseClick(b, Qt::LeftButton);
  }
  static QCheckBox* box(EDLViewer* w, const char* name) { return w->findChild<QCheckBox*>(name); }
  std::string read(const std::string& name) const {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  QString path(const char* name) const { return QString::fromStdString(dir_ + "/" + name); }

  struct Ask {
    QString title, directory;
    bool save;
  };
  std::string dir_;
  std::deque<QString> answers_;
  std::vector<Ask> asked_;
  std::vector<int> pauses_;
  std::vector<QPointer<EDLViewer>> windows_;
};

TEST_F(Window, CreationLayoutAndFirstLoad) {
  EDLViewer* w = open(path("three.edl"));
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].title, "Open File");
  EXPECT_FALSE(asked_[0].save);
  EXPECT_EQ(w->windowTitle(), QString::fromStdString(ControllerApp::title +
                                                     " --- Tavlist2 --- Source EDL:  three.edl"));
  EXPECT_GE(w->width(), 800);
  EXPECT_GE(w->height(), 350);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->palette().color(QPalette::Window), QColor(90, 90, 240));
  auto* src = w->findChild<QPlainTextEdit*>("textarea");
  auto* out = w->findChild<QPlainTextEdit*>("outarea");
  EXPECT_TRUE(src->isReadOnly());
  EXPECT_FALSE(out->isReadOnly());
  EXPECT_EQ(src->palette().color(QPalette::Base), QColor(230, 230, 190));
  EXPECT_EQ(out->palette().color(QPalette::Base), QColor(200, 220, 220));
  EXPECT_EQ(src->font().pointSize(), 12);
  const char* commands[] = {"load", "auto",  "next", "back", "save",
                            "stop", "pause", "chap", "wait", "del"};
  for (const char* c : commands) {
    auto* b = w->findChild<QPushButton*>(c);
    ASSERT_NE(b, nullptr) << c;
    EXPECT_TRUE(b->font().bold());
    EXPECT_GE(b->width(), b->sizeHint().width()) << c;  // labels are never cut
    EXPECT_EQ(b->font().pointSize(), 14);
  }
  EXPECT_EQ(text(w, "outarea"),
            "PIONEER-DVDRec-EDL 002\n001 REC 00:00:10:00 00:00:20:00 STOP\n"
            "002 REC 00:01:00:00 00:01:10:00 STOP\n003 REC 00:02:00:00 00:02:10:00 STOP\n");
  EXPECT_TRUE(text(w, "textarea").startsWith("TITLE: T\nFCM: NON-DROP FRAME\n001"));
  if (std::getenv("ORVA_SHOT")) {
    w->grab().save(std::getenv("ORVA_SHOT"));
  }
}

TEST_F(Window, CancelledDialogGivesAnEmptyWindow) {
  EDLViewer* w = open(QString());
  EXPECT_EQ(text(w, "textarea"), "");
  EXPECT_EQ(text(w, "outarea"), "PIONEER-DVDRec-EDL 002\n");
  EXPECT_EQ(w->windowTitle(), QString::fromStdString(ControllerApp::title + " --- Tavlist2"));
}

TEST_F(Window, EditingButtons) {
  ControllerApp::namechapters = true;
  EDLViewer* w = open(path("three.edl"));
  ASSERT_EQ(w->converter().list().lxline(), 6);
  click(w, "del");  // removes the last title name
  EXPECT_EQ(w->converter().list().lxline(), 5);
  click(w, "wait");
  click(w, "wait");  // never two waits in a row
  EXPECT_EQ(w->converter().list().lxline(), 6);
  EXPECT_TRUE(text(w, "outarea").endsWith("003 WAI\n"));
  click(w, "del");
  click(w, "pause");  // the last record joins the title
  EXPECT_TRUE(box(w, "recmode")->isChecked());
  EXPECT_TRUE(text(w, "outarea").endsWith("003 REC 00:02:00:00 00:02:10:00 PAUSE\n"));
  click(w, "stop");
  EXPECT_FALSE(box(w, "recmode")->isChecked());
  EXPECT_TRUE(text(w, "outarea").endsWith("003 REC 00:02:00:00 00:02:10:00 STOP\n"));
  click(w, "chap");  // the last record becomes a mark with a default chapter name
  EXPECT_TRUE(text(w, "outarea").endsWith("002 CHP 00:02:00:00\n002 C-N Chapter\n"));
  // "ST"/"PS" set "All PS" without converting again.
  EXPECT_EQ(w->converter().list().lxline(), 6);
}

TEST_F(Window, SteppingButtons) {
  EDLViewer* w = open(path("three.edl"));
  click(w, "next");
  EXPECT_EQ(text(w, "textarea"), "1 TITLE: T");
  EXPECT_EQ(w->converter().list().lxline(), 0);
  click(w, "next");
  click(w, "next");
  click(w, "next");
  EXPECT_EQ(w->converter().list().lxline(), 2);
  click(w, "back");  // 4 -> 1: the heading again, list kept
  EXPECT_EQ(text(w, "textarea"), "2 FCM: NON-DROP FRAME");
  EXPECT_EQ(w->converter().list().lxline(), 2);
  click(w, "auto");
  EXPECT_EQ(w->converter().list().lxline(), 3);
  EXPECT_EQ(w->converter().rawline(), 0);
}

// On a 1280 x 800 screen the window, grown from 800 x 350 only as far as its controls need,
// holds every button whole; every rendering of the list puts the list back in its area (text
// typed there goes) and scrolls to its end; names beyond ASCII show as their letters.
TEST_F(Window, FitsTheScreenAndShowsEveryRenderingAndName) {
  EDLViewer* w = open(path("three.edl"));
  QCoreApplication::processEvents();
  EXPECT_LE(w->width(), 1280);
  EXPECT_LE(w->height(), 800 - 40);  // room for a title bar
  for (auto* b : w->findChildren<QPushButton*>()) {
    const QRect r(b->mapTo(w, QPoint(0, 0)), b->size());
    EXPECT_TRUE(w->rect().contains(r)) << b->objectName().toStdString();
  }
  auto* out = w->findChild<QPlainTextEdit*>("outarea");
  for (const char* c : {"auto", "stop", "pause", "stop"}) {
    out->appendPlainText("typed");
    click(w, c);
    EXPECT_EQ(out->toPlainText(), QString::fromStdString(w->converter().lxfile())) << c;
    EXPECT_TRUE(out->textCursor().atEnd()) << c;
  }
  answers_.push_back(QString::fromStdString(std::string(ORVA_SOURCE_DIR) +
                                            "/tests/fixtures/edl/latin1-names.edl"));
  click(w, "load");
  EXPECT_TRUE(text(w, "textarea").contains(QString::fromUtf8("001  Caf\u00e901")))
      << text(w, "textarea").toStdString();
}

TEST_F(Window, LoadAndSaveThroughTheChooser) {
  EDLViewer* w = open(QString());
  answers_.push_back(path("three.edl"));
  click(w, "load");
  EXPECT_EQ(w->converter().list().lxline(), 3);
  answers_.push_back(path("out"));
  click(w, "save");
  ASSERT_EQ(asked_.size(), 3u);
  EXPECT_EQ(asked_[2].title, "Save File");
  EXPECT_TRUE(asked_[2].save);
  EXPECT_EQ(asked_[2].directory, QString::fromStdString(dir_));
  EXPECT_FALSE(fs::exists(dir_ + "/out.edl"));  // too short a name
  answers_.push_back(path("result"));
  click(w, "save");
  EXPECT_EQ(read("result.edl"), w->converter().lxout());
  // Edits typed into the list area are neither kept nor saved.
  w->findChild<QPlainTextEdit*>("outarea")->appendPlainText("typed");
  answers_.push_back(path("again.edl"));
  click(w, "save");
  EXPECT_EQ(read("again.edl"), w->converter().lxout());
}

TEST_F(Window, CheckBoxesActOnTheirOwnWindowOnly) {
  EDLViewer* a = open(path("three.edl"));
  EDLViewer* b = open(path("three.edl"));
  const QString before = text(b, "outarea");
  QTest::mouseClick(box(a, "useini"), Qt::LeftButton);
  EXPECT_TRUE(text(a, "outarea").contains("001 INI\n"));
  EXPECT_EQ(text(b, "outarea"), before);
  EXPECT_FALSE(box(b, "useini")->isChecked());

  QTest::mouseClick(box(a, "usefnl"), Qt::LeftButton);
  EXPECT_TRUE(text(a, "outarea").endsWith("005 FNL\n"));
  QTest::mouseClick(box(a, "recmode"), Qt::LeftButton);  // converts again in pause mode
  EXPECT_TRUE(text(a, "outarea").contains("002 REC 00:00:10:00 00:00:20:00 PAUSE\n"));
  QTest::mouseClick(box(a, "autoch"), Qt::LeftButton);  // ends "All PS"
  EXPECT_FALSE(box(a, "recmode")->isChecked());
  EXPECT_TRUE(text(a, "outarea").contains("002 REC 00:00:10:00 00:02:10:00 STOP\n002 CHP"));
  QTest::mouseClick(box(a, "opti"), Qt::LeftButton);
  EXPECT_TRUE(text(a, "outarea").contains("002 SET R:31 F:2\n"));
  const QString now = text(a, "outarea");
  QTest::mouseClick(box(a, "namech"), Qt::LeftButton);  // only for later conversions
  EXPECT_EQ(text(a, "outarea"), now);
  click(a, "auto");
  EXPECT_TRUE(text(a, "outarea").contains("C-N "));
  EXPECT_EQ(text(b, "outarea"), before);
}

TEST_F(Window, PauseKeepsTheWindowAliveAndLocksItsControls) {
  EDLViewer::pauser = [this](EDLViewer* w, int ms) {
    pauses_.push_back(ms);
    w->wait(60);
  };
  EDLViewer* w = open(QString());
  bool ticked = false;
  bool lockedDuringPause = false;
  QString shown;
  QTimer::singleShot(10, w, [&] {
    ticked = true;
    lockedDuringPause = w->isWaiting() && !w->findChild<QPushButton*>("next")->isEnabled();
    shown = text(w, "textarea");
    w->close();  // refused while the command runs, done afterwards
  });
  answers_.push_back(path("gone.edl"));
  QPointer<EDLViewer> guard(w);
  QElapsedTimer clock;
  clock.start();
  click(w, "load");
  EXPECT_TRUE(ticked);
  EXPECT_TRUE(lockedDuringPause);
  EXPECT_EQ(shown, "EDL file not found!");
  EXPECT_GE(clock.elapsed(), 50);
  EXPECT_TRUE(w->findChild<QPushButton*>("next")->isEnabled());
  // The close asked for during the pause happens once the command is over.
  QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 2000);
}

}  // namespace

namespace {
TEST_F(Window, HugeLinesLoadAndShowQuickly) {
  std::ofstream(dir_ + "/huge.edl")
      << "TITLE: T\n"
      << event(1, "00:00:10:00", "00:00:20:00") << std::string(10'000'000, 'x') << "\n"
      << std::string(10'000'000, 'y') << "\n";
  QElapsedTimer clock;
  clock.start();
  EDLViewer* w = open(path("huge.edl"));
  QApplication::processEvents();
  click(w, "next");
  click(w, "next");
  QApplication::processEvents();
  EXPECT_EQ(w->converter().list().lxline(), 1);  // the event line with its long tail
  EXPECT_EQ(text(w, "textarea").size(), 2000);   // the shown line is cut, the stored one is not
  // A generous deadline: it catches a load that takes minutes (a cut made line by line), not
  // a slow machine; under AddressSanitizer on two busy cores it takes about 7 s.
  EXPECT_LT(clock.elapsed(), 30000);
}
}  // namespace
