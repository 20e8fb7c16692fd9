// Peak memory of the controller with all three windows open: the control window polling the
// built-in deck emulator, the logger window and one converter window holding a real EDL.
// Run it under QT_QPA_PLATFORM=offscreen; no file dialog is ever shown. The EDL is the largest
// fixture of the repository unless --edl names another (RESULTS.md used a 1135-line real list).
//
//   orva_bench_memory [--seconds N] [--edl PATH]
#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"
#include "serial/SerOutPort.h"
#include "sim/SimSerialDriver.h"
#include "ui/qt/EDLViewer.h"
#include "ui/qt/LocalGUI.h"
#include "ui/qt/LoggerGUI.h"

namespace {

// "VmRSS" and "VmHWM" of this process in kB, from /proc/self/status.
long statusKb(const std::string& key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key + ":", 0) == 0) {
      return std::atol(line.c_str() + key.size() + 1);
    }
  }
  return -1;
}

void printMemory(const char* when) {
  std::printf("%-34s VmRSS %6.1f MB  VmHWM %6.1f MB\n", when, statusKb("VmRSS") / 1024.0,
              statusKb("VmHWM") / 1024.0);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 10;
  std::string edl = ORVA_FIXTURES_DIR "/edl/over-99-events.edl";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--seconds" && i + 1 < argc) {
      seconds = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--edl" && i + 1 < argc) {
      edl = argv[++i];
    } else if (a.rfind("-platform", 0) != 0) {
      std::fprintf(stderr, "usage: orva_bench_memory [--seconds N] [--edl PATH]\n");
      return 2;
    }
  }
  printMemory("at start");
  QApplication app(argc, argv);
  printMemory("QApplication made");

  ControllerApp::resetDefaults();
  ControllerApp::stoponexit = false;
  // No dialog may block: the logger never asks here, the converter gets the sample EDL.
  LoggerGUI::chooser = [](QWidget*, const QString&, int) { return QString(); };
  EDLViewer::chooser = [&edl](QWidget*, const QString&, const QString&, bool save) {
    return save ? QString() : QString::fromStdString(edl);
  };

  SerOutPort link("SIM", std::make_shared<SimSerialDriver>());
  link.setwait(9);
  LocalGUI gui;
  LocalVCR vcr(link, false, gui);
  vcr.setLineSink([](const std::string&) {});
  gui.attach(vcr);
  gui.show();
  vcr.start();
  gui.openLogger();

  auto* viewer = new EDLViewer();
  viewer->setAttribute(Qt::WA_DeleteOnClose);
  viewer->show();
  viewer->actionPerformed(QStringLiteral("load"));
  printMemory("three windows open");

  // Measured before quitting: quitting closes every window first.
  QTimer::singleShot(seconds * 1000, &app, [&] {
    int visible = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      visible += w->isVisible() ? 1 : 0;
    }
    std::printf("polled for %d s; %d windows visible; timecode requests answered: %s\n", seconds,
                visible, vcr.tcText().empty() ? "no" : "yes");
    printMemory("after polling");
    QApplication::quit();
  });
  app.exec();
  return 0;
}
