// A five-second script run from the SCRIPT button against the in-process deck emulator: the
// window keeps processing events and the timecode display keeps running while it runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <iostream>
#include <memory>
#include <mutex>

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"
#include "serial/SerOutPort.h"
#include "sim/SimSerialDriver.h"
#include "ui/qt/LocalGUI.h"

namespace {

// Runs the test in a folder of its own, where the script file is looked up.
class ScratchDir {
 public:
  ScratchDir() : old_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
  ~ScratchDir() { QDir::setCurrent(old_); }
  bool write(const char* name, const QByteArray& text) const {
    QFile f(QDir(dir_.path()).filePath(QString::fromLatin1(name)));
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
  }

 private:
  QTemporaryDir dir_;
  QString old_;
};

}  // namespace

TEST(LocalGuiScript, WindowAndTimecodeKeepRunningDuringAScript) {
  ScratchDir scratch;
  ASSERT_TRUE(scratch.write("Script.txt", "Play\nWait5\nStop\n"));

  ControllerApp::lx1 = false;
  ControllerApp::zarix = false;
  ControllerApp::lanc = false;
  ControllerApp::stoponexit = true;
  ControllerApp::useclipboard = false;

  SerOutPort link("SIM", std::make_shared<SimSerialDriver>());
  ASSERT_FALSE(link.isBad());
  link.setwait(9);
  LocalGUI gui;
  LocalVCR vcr(link, false, gui);
  std::mutex linesMutex;
  std::vector<std::string> lines;
  vcr.setLineSink([&](const std::string& line) {
    std::lock_guard lock(linesMutex);
    lines.push_back(line);
  });
  gui.attach(vcr);
  gui.show();
  vcr.start();

  auto* tcfield = gui.findChild<QLineEdit*>("tcfield");
  QSet<QString> timecodes;
  QObject::connect(tcfield, &QLineEdit::textChanged,
                   [&timecodes](const QString& t) { timecodes.insert(t); });

  // A timer on the GUI thread: its ticks prove the event loop is not held by the script.
  QElapsedTimer clock;
  clock.start();
  int ticks = 0;
  qint64 lastTick = 0;
  qint64 longestGap = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++ticks;
    longestGap = std::max(longestGap, clock.elapsed() - lastTick);
    lastTick = clock.elapsed();
  });

  QTest::mouseClick(gui.findChild<QPushButton*>("bscript"), Qt::LeftButton);
  EXPECT_EQ(gui.findChild<QLineEdit*>("statusfield")->text(), "SCRIPT");
  ASSERT_TRUE(QTest::qWaitFor([&] { return vcr.getscriptactive(); }, 3000));
  lastTick = clock.elapsed();
  timer.start(20);
  const qint64 scriptStart = clock.elapsed();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !vcr.getscriptactive(); }, 10000));
  const qint64 scriptMs = clock.elapsed() - scriptStart;
  timer.stop();

  std::cout << "script " << scriptMs << " ms, " << ticks << " timer ticks, longest gap "
            << longestGap << " ms, " << timecodes.size() << " timecodes shown" << std::endl;
  EXPECT_GE(scriptMs, 4900);
  EXPECT_GT(ticks, scriptMs / 20 / 2) << "the window stopped processing events";
  EXPECT_LT(longestGap, 1000) << "the window was held for " << longestGap << " ms";
  // 30 frames/s for 5 s, polled every ~45 ms: far more than 50 different texts.
  EXPECT_GT(timecodes.size(), 50);
  EXPECT_GE(vcr.gettcframes(), 4 * 30);
  {
    std::lock_guard lock(linesMutex);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Found Script.txt File"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Wait5"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Script ended"), lines.end());
  }
  gui.close();
}
