// The logger window against the emulated deck: layout, rows and scrolling, Enter keys, the row
// buttons, load and save through a replaced file chooser, and reviews that run while the window
// keeps responding.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/ControllerApp.h"
#include "deck/DeckView.h"
#include "deck/LocalVCR.h"
#include "serial/SerOutPort.h"
#include "sim/SimSerialDriver.h"
#include "ui/qt/LoggerGUI.h"

namespace {

// Thread-safe record of printed lines and of what the deck showed in its window.
class Recorder : public DeckView {
 public:
  void line(const std::string& l) {
    std::lock_guard lock(m_);
    lines_.push_back(l);
  }
  std::vector<std::string> lines() const {
    std::lock_guard lock(m_);
    return lines_;
  }
  std::vector<std::string> statuses() const {
    std::lock_guard lock(m_);
    return statuses_;
  }
  std::string cueField() const {
    std::lock_guard lock(m_);
    return cue_;
  }
  std::string endField() const {
    std::lock_guard lock(m_);
    return end_;
  }
  void clear() {
    std::lock_guard lock(m_);
    lines_.clear();
    statuses_.clear();
  }

  void ShowTC(const std::string&) override {}
  void ShowStatus(const std::string& text) override {
    std::lock_guard lock(m_);
    statuses_.push_back(text);
  }
  void clearbuttons() override {}
  void hilight(DeckButton) override {}
  void setCueLocked(bool) override {}
  void ShowCueField(const std::string& text) override {
    std::lock_guard lock(m_);
    cue_ = text;
  }
  void ShowEndField(const std::string& text) override {
    std::lock_guard lock(m_);
    end_ = text;
  }
  void copyToClipboard(const std::string&) override {}
  void openLogger() override {}

 private:
  mutable std::mutex m_;
  std::vector<std::string> lines_;
  std::vector<std::string> statuses_;
  std::string cue_;
  std::string end_;
};

bool waitFor(const std::function<bool()>& done, int ms = 8000) {
  return QTest::qWaitFor(done, ms);
}

bool contains(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

// One emulated ZARIX deck (short settle waits) for the whole file: the controller's start-up
// pause is paid once. The tape stands at 00:00:10:00.
class LoggerWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ControllerApp::resetDefaults();
    ControllerApp::VCRType = "ZARIX";
    ControllerApp::lx1 = false;
    ControllerApp::zarix = true;
    ControllerApp::name = " ORVA_v2";
    std::string tmpl = (std::filesystem::temp_directory_path() / "orva-loggergui-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = new std::filesystem::path(tmpl);
    EmulatorOptions options;
    options.deck = DeckKind::Zarix;
    options.startFrame = 300;
    options.cueMinMs = 20;
    options.cueMaxMs = 100;
    options.transcriptPath = (*dir_ / "transcript.txt").string();
    rec_ = new Recorder;
    link_ = new SerOutPort("SIM", std::make_shared<SimSerialDriver>(options));
    link_->setwait(9);
    vcr_ = new LocalVCR(*link_, false, *rec_);
    vcr_->setLineSink([](const std::string& l) { rec_->line(l); });
    vcr_->start();
  }
  static void TearDownTestSuite() {
    delete vcr_;
    delete link_;
    delete rec_;
    std::error_code ec;
    std::filesystem::remove_all(*dir_, ec);
    delete dir_;
    ControllerApp::resetDefaults();
  }

  void SetUp() override {
    ASSERT_TRUE(waitFor([] { return vcr_->workerIdle() && !vcr_->getscriptactive(); }));
    rec_->clear();
    LoggerGUI::vsbval = 37;  // left over from an earlier window
    gui_ = std::make_unique<LoggerGUI>(*vcr_);
    gui_->setLineSink([](const std::string& l) { rec_->line(l); });
    gui_->show();
  }
  void TearDown() override {
    gui_.reset();
    LoggerGUI::chooser = &LoggerGUI::defaultChooser;
  }

  template <typename W>
  W* child(const QString& name) const {
    auto* w = gui_->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }
  QLineEdit* field(int r, int c) const {
    return child<QLineEdit>(QStringLiteral("TF%1_%2").arg(r).arg(c));
  }
  QPushButton* button(const QString& name) const { return child<QPushButton>(name); }
  QScrollBar* vsb() const { return child<QScrollBar>(QStringLiteral("vsb")); }
  std::string text(int r, int c) const { return field(r, c)->text().toStdString(); }

  // Frames the deck received, as upper-case hex, in order.
  static std::vector<std::string> framesIn() {
    std::ifstream in(*dir_ / "transcript.txt");
    std::vector<std::string> frames;
    std::string l;
    while (std::getline(in, l)) {
      auto p = l.find(" IN ");
      if (p != std::string::npos) {
        frames.push_back(l.substr(p + 4));
      }
    }
    return frames;
  }

  static std::filesystem::path* dir_;
  static Recorder* rec_;
  static SerOutPort* link_;
  static LocalVCR* vcr_;
  std::unique_ptr<LoggerGUI> gui_;
};

std::filesystem::path* LoggerWindow::dir_ = nullptr;
Recorder* LoggerWindow::rec_ = nullptr;
SerOutPort* LoggerWindow::link_ = nullptr;
LocalVCR* LoggerWindow::vcr_ = nullptr;

}  // namespace

TEST_F(LoggerWindow, NewWindowLayout) {
  EXPECT_EQ(gui_->windowTitle(), QStringLiteral(" ORVA_v2 Logger"));
  EXPECT_EQ(gui_->size(), QSize(470, 525));
  EXPECT_EQ(gui_->palette().color(QPalette::Window), QColor(80, 150, 245));
  EXPECT_EQ(gui_->font().pixelSize(), 15);

  EXPECT_EQ(button("LoadButton")->geometry(), QRect(5, 5, 94, 21));
  EXPECT_EQ(button("ReviewButton")->geometry(), QRect(117, 5, 64, 21));
  EXPECT_EQ(button("RevAllButton")->geometry(), QRect(188, 5, 64, 21));
  EXPECT_EQ(button("SaveButton")->geometry(), QRect(287, 5, 94, 21));

  // Columns c0 5, c1 48, c2 157, c3 178, c4 287, c5 308, c6 417; row r at y 5 + (r + 1) * 23.
  for (int r : {0, 19}) {
    const int y = 5 + (r + 1) * 23;
    EXPECT_EQ(field(r, 0)->geometry(), QRect(5, y, 37, 21));
    EXPECT_EQ(field(r, 1)->geometry(), QRect(48, y, 94, 21));
    EXPECT_EQ(button(QStringLiteral("SIB%1").arg(r))->geometry(), QRect(157, y, 19, 21));
    EXPECT_EQ(field(r, 2)->geometry(), QRect(178, y, 94, 21));
    EXPECT_EQ(button(QStringLiteral("SOB%1").arg(r))->geometry(), QRect(287, y, 19, 21));
    EXPECT_EQ(field(r, 3)->geometry(), QRect(308, y, 94, 21));
    EXPECT_EQ(button(QStringLiteral("CUE%1").arg(r))->geometry(), QRect(407, y, 12, 21));
  }
  EXPECT_EQ(vsb()->geometry(), QRect(429, 20, 20, 470));
  EXPECT_EQ(vsb()->minimum(), 0);
  EXPECT_EQ(vsb()->maximum(), 80);
  EXPECT_EQ(vsb()->pageStep(), 20);
  EXPECT_EQ(vsb()->value(), 0);

  for (int r = 0; r < 20; ++r) {
    for (const char* b : {"SIB", "SOB", "CUE"}) {
      EXPECT_EQ(button(QString::fromLatin1(b) + QString::number(r))
                    ->property(LoggerGUI::kActionCommand)
                    .toString(),
                QString::number(r));
    }
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(field(r, c)->isReadOnly(), r != 0 || c == 0) << r << "," << c;
    }
  }
}

TEST_F(LoggerWindow, RowsShowTheListAndFollowTheScrollBar) {
  EXPECT_EQ(LoggerGUI::vsbval, 0);  // a new window starts at the first entry
  EXPECT_EQ(text(0, 0), "001");
  EXPECT_EQ(text(0, 1), "Name01");
  EXPECT_EQ(text(19, 0), "020");
  EXPECT_EQ(text(19, 1), "Name20");
  EXPECT_EQ(text(7, 2), "00:00:00:00");
  EXPECT_EQ(text(7, 3), "00:00:00:00");

  vsb()->setValue(80);
  EXPECT_EQ(LoggerGUI::vsbval, 80);
  EXPECT_EQ(text(0, 0), "081");
  EXPECT_EQ(text(19, 0), "100");
  EXPECT_EQ(text(19, 1), "Name00");
  vsb()->setValue(200);  // clamped
  EXPECT_EQ(LoggerGUI::vsbval, 80);
}

TEST_F(LoggerWindow, EnterStoresRow0TextsAsTypedInTheEntryShown) {
  vsb()->setValue(4);
  ASSERT_EQ(text(0, 0), "005");
  QLineEdit* in = field(0, 2);
  in->clear();
  QTest::keyClicks(in, "1:2");  // malformed, kept as typed
  QTest::keyClick(in, Qt::Key_Return);
  QLineEdit* name = field(0, 1);
  name->setText(QString::fromUtf8("Caf\u00e9 1"));  // non-ASCII text cannot be key-clicked
  QTest::keyClick(name, Qt::Key_Enter);
  QLineEdit* out = field(0, 3);
  out->clear();
  QTest::keyClicks(out, "00:00:09:00");
  QTest::keyClick(out, Qt::Key_Return);
  EXPECT_EQ(gui_->list().SrcInArray[4], "1:2");
  EXPECT_EQ(gui_->list().ClipNameArray[4], "Caf\u00e9 1");  // the list keeps UTF-8
  EXPECT_EQ(gui_->list().SrcOutArray[4], "00:00:09:00");
  EXPECT_EQ(gui_->list().SrcInArray[0], "00:00:00:00");

  // Text typed without Enter is stored too before the rows move (or the field loses the
  // focus), so a field never shows what the list does not hold.
  QTest::keyClicks(field(0, 1), "zz");
  vsb()->setValue(0);
  vsb()->setValue(4);
  EXPECT_EQ(text(0, 1), "Caf\xC3\xA9 1zz");
  EXPECT_EQ(gui_->list().ClipNameArray[4], "Caf\u00e9 1zz");
  EXPECT_EQ(text(0, 2), "1:2");
  EXPECT_TRUE(gui_->presenter().unsaved());
}

TEST_F(LoggerWindow, RowButtonsActOnTheEntryTheyShow) {
  ASSERT_TRUE(waitFor([] { return vcr_->tcText() == "00:00:10:00"; }));
  vsb()->setValue(10);
  QTest::mouseClick(button("SIB3"), Qt::LeftButton);
  EXPECT_EQ(gui_->list().SrcInArray[13], "00:00:10:00");
  EXPECT_EQ(text(3, 2), "00:00:10:00");
  QTest::mouseClick(button("SOB19"), Qt::LeftButton);
  EXPECT_EQ(gui_->list().SrcOutArray[29], "00:00:10:00");
  EXPECT_EQ(text(19, 3), "00:00:10:00");

  gui_->list().SrcInArray[12] = "00:00:01:02";
  gui_->list().SrcOutArray[12] = "00:00:03:04";
  QTest::mouseClick(button("CUE2"), Qt::LeftButton);
  EXPECT_EQ(vcr_->cueText(), "00:00:01:02");
  EXPECT_EQ(vcr_->endText(), "00:00:03:04");
  EXPECT_TRUE(waitFor([] { return rec_->cueField() == "00:00:01:02"; }));
  EXPECT_EQ(rec_->endField(), "00:00:03:04");
  EXPECT_TRUE(vcr_->workerIdle());  // "*" does not command the deck
}

TEST_F(LoggerWindow, LoadAndSaveThroughTheChooser) {
  const std::string path = (*dir_ / "clips.edl").string();
  gui_->list().ClipNameArray[0] = "ALPHA";
  gui_->list().SrcInArray[0] = "00:00:01:00";
  gui_->list().SrcOutArray[0] = "00:00:02:00";
  std::vector<std::pair<QString, int>> asked;
  QString answer = QString::fromStdString(path);
  LoggerGUI::chooser = [&](QWidget*, const QString& title, int mode) {
    asked.emplace_back(title, mode);
    return answer;
  };
  QTest::mouseClick(button("SaveButton"), Qt::LeftButton);
  std::ifstream in(path, std::ios::binary);
  std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(saved.substr(0, 19), "TITLE: clips.edl \r\n");
  EXPECT_NE(saved.find("001  ALPHA    AA/V  C        00:00:01:00 00:00:02:00"), std::string::npos);

  // A fresh window, scrolled away, loads the file: the rows go back to the first entry.
  gui_ = std::make_unique<LoggerGUI>(*vcr_);
  gui_->setLineSink([](const std::string& l) { rec_->line(l); });
  vsb()->setValue(30);
  QTest::mouseClick(button("LoadButton"), Qt::LeftButton);
  EXPECT_EQ(vsb()->value(), 0);
  EXPECT_EQ(LoggerGUI::vsbval, 0);
  EXPECT_EQ(text(0, 1), "ALPHA");
  EXPECT_EQ(text(0, 3), "00:00:02:00");
  EXPECT_EQ(text(1, 1), "Name02");
  EXPECT_TRUE(contains(rec_->lines(), " "));  // the load's own lines reach the window's sink

  // A Latin-1 file shows its names as the letters they are.
  answer =
      QString::fromStdString(std::string(ORVA_SOURCE_DIR) + "/tests/fixtures/edl/latin1-names.edl");
  QTest::mouseClick(button("LoadButton"), Qt::LeftButton);
  EXPECT_EQ(field(0, 1)->text(), QString::fromUtf8("Caf\u00e901"));
  EXPECT_EQ(field(1, 1)->text(), QString::fromUtf8("\u00d1and\u00fa"));

  // Cancelled dialogs change nothing.
  answer.clear();
  vsb()->setValue(5);
  QTest::mouseClick(button("LoadButton"), Qt::LeftButton);
  QTest::mouseClick(button("SaveButton"), Qt::LeftButton);
  EXPECT_EQ(vsb()->value(), 5);
  ASSERT_EQ(asked.size(), 5u);
  EXPECT_EQ(asked[0], std::make_pair(QStringLiteral("Save Standard EDL"), 1));
  EXPECT_EQ(asked[1], std::make_pair(QStringLiteral("Load Standard EDL"), 0));
}

TEST_F(LoggerWindow, ReviewOnAFreshListIsRefusedByTheDeck) {
  QTest::mouseClick(button("RevAllButton"), Qt::LeftButton);
  ASSERT_TRUE(waitFor([] { return vcr_->workerIdle(); }));
  EXPECT_FALSE(contains(rec_->lines(), "Review EDL Clip 1"));
  EXPECT_FALSE(vcr_->getscriptactive());

  QTest::mouseClick(button("ReviewButton"), Qt::LeftButton);
  ASSERT_TRUE(waitFor([] { return contains(rec_->lines(), "No Review is possible"); }));
  EXPECT_TRUE(contains(rec_->lines(), "Review EDL Clip 1"));
  EXPECT_TRUE(contains(rec_->statuses(), "Reviewing Clip of Duration= 0"));
}

TEST_F(LoggerWindow, RevAllReviewsInOrderWhileTheWindowResponds) {
  auto& l = gui_->list();
  l.SrcInArray[0] = "00:00:12:00";
  l.SrcOutArray[0] = "00:00:12:08";
  l.SrcInArray[1] = "00:00:11:00";
  l.SrcOutArray[1] = "00:00:11:05";
  l.SrcOutArray[3] = "00:00:30:00";  // after the end of the list: never reviewed
  const std::size_t before = framesIn().size();

  const auto t0 = std::chrono::steady_clock::now();
  QTest::mouseClick(button("RevAllButton"), Qt::LeftButton);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
  ASSERT_TRUE(waitFor([] { return vcr_->getscriptactive(); }));
  // The window still works while the clips play; the list changes do not reach the review.
  vsb()->setValue(1);
  EXPECT_EQ(text(0, 0), "002");
  l.SrcOutArray[1] = "00:00:00:00";

  ASSERT_TRUE(waitFor([] { return vcr_->workerIdle() && !vcr_->getscriptactive(); }, 15000));
  auto lines = rec_->lines();
  auto at = [&lines](const std::string& s) { return std::find(lines.begin(), lines.end(), s); };
  ASSERT_NE(at("Review EDL Clip 1"), lines.end());
  ASSERT_NE(at("Review EDL Clip 2"), lines.end());
  EXPECT_LT(at("Review EDL Clip 1"), at("Review EDL Clip 2"));
  EXPECT_EQ(at("Review EDL Clip 3"), lines.end());
  EXPECT_EQ(at("Cue/Review/Play Finished!"), lines.end());  // quiet while the flag is on
  auto st = rec_->statuses();
  EXPECT_TRUE(contains(st, "Reviewing Clip of Duration= 8"));
  EXPECT_TRUE(contains(st, "Reviewing Clip of Duration= 5"));

  // The deck was cued to each in point in turn and stopped after each clip.
  auto frames = framesIn();
  frames.erase(frames.begin(), frames.begin() + static_cast<long>(before));
  auto find = [&frames](const std::string& f, std::vector<std::string>::iterator from) {
    return std::find(from, frames.end(), f);
  };
  std::string sent;  // what was sent besides polling, for the failure message
  for (const auto& f : frames) {
    if (f.rfind("61 ", 0) != 0) {
      sent += f + " | ";
    }
  }
  auto cue1 = find("24 31 00 12 00 00 67", frames.begin());
  ASSERT_NE(cue1, frames.end()) << sent;
  auto play1 = find("20 01 21", cue1);
  auto stop1 = find("20 00 20", play1);
  auto cue2 = find("24 31 00 11 00 00 66", stop1);
  ASSERT_NE(cue2, frames.end()) << sent;
  auto stop2 = find("20 00 20", find("20 01 21", cue2));
  EXPECT_NE(stop2, frames.end()) << sent;
}

TEST_F(LoggerWindow, RevAllClearsTheScriptFlagWhenAReviewFails) {
  auto& l = gui_->list();
  l.SrcInArray[0] = "00:00:1x:00";  // the deck refuses it
  l.SrcOutArray[0] = "00:00:13:00";
  QTest::mouseClick(button("RevAllButton"), Qt::LeftButton);
  ASSERT_TRUE(waitFor([] { return vcr_->workerIdle(); }));
  EXPECT_FALSE(vcr_->getscriptactive());
  auto lines = rec_->lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("00:00:1x:00"), std::string::npos) << lines.back();
}

TEST_F(LoggerWindow, WindowMayCloseWhileAReviewRuns) {
  gui_->list().SrcInArray[0] = "00:00:14:00";
  gui_->list().SrcOutArray[0] = "00:00:14:05";
  QTest::mouseClick(button("ReviewButton"), Qt::LeftButton);
  gui_.reset();
  ASSERT_TRUE(waitFor([] { return contains(rec_->lines(), "Cue/Review/Play Finished!"); }));
  EXPECT_TRUE(contains(rec_->lines(), "Review EDL Clip 1"));
}
