// ORVA: desktop controller for one video deck on a serial line.
//
// Start-up runs without a display: log redirection, settings, the command link, title and
// report (each may end the process). Then the control window and the deck controller are made
// and the event loop runs until the control window is closed, by the operator or by SIGTERM /
// SIGINT, which close it the same way. Closing stops the polling and the operator worker, sends
// Stop twice 500 ms apart when StopOnExit is on, closes the other windows and ends with status 0.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"
#include "remote/RemoteControl.h"
#include "serial/SerOutPort.h"
#include "serial/port/PortLister.h"
#include "ui/qt/LocalGUI.h"
#include "ui/qt/SignalCloser.h"

namespace {

bool hasDisplay() {
  for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') {
      return true;
    }
  }
  return false;
}

const char* const kUsage =
    "Usage: orva [--help | --version | --list-ports]\n"
    "Controls one video deck on a serial line, with a clip logger and an EDL converter for\n"
    "the DVD recorder. Takes no other arguments: the settings come from ORVASettings.txt in\n"
    "the working folder (COMPort = SIM drives the built-in deck emulator) and everything the\n"
    "program prints goes to ORVALog.txt there. --list-ports shows the serial ports this\n"
    "computer has. See orva(1).\n";

// --help, --version and --list-ports answer and end the process before anything else happens;
// without them the arguments are left to Qt as they always were.
bool answeredInfoOption(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << kUsage;
      return true;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << "orva " << ORVA_VERSION << '\n';
      return true;
    }
    if (std::strcmp(argv[i], "--list-ports") == 0) {
      for (const std::string& line : PortLister::lines(PortLister::list())) {
        std::cout << line << '\n';
      }
      return true;
    }
  }
  return false;
}

// A fatal start-up condition is also shown in a small message window for the length of its
// pause, so an operator who started the program from the desktop sees why it ends.
void showFatal(int& argc, char** argv, const std::string& message, int ms) {
  QApplication app(argc, argv);
  QMessageBox box(QMessageBox::Warning, QStringLiteral("ORVA"), QString::fromStdString(message),
                  QMessageBox::Ok);
  box.show();
  QTimer::singleShot(ms, &app, &QCoreApplication::quit);
  QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (answeredInfoOption(argc, argv)) {
    return EXIT_SUCCESS;
  }
  ControllerApp::redirectLog();
  if (hasDisplay()) {
    ControllerApp::fatalPause = [&argc, argv](const std::string& message, int ms) {
      showFatal(argc, argv, message, ms);
    };
  }
  ControllerApp::init();  // settings, command link, title and report; fatal exits happen inside
  std::cout.flush();

  if (!hasDisplay()) {
    const char* line =
        "No display: run ORVA under a virtual one, e.g. xvfb-run -a ./scripts/run.sh";
    std::cerr << line << std::endl;
    std::cout << line << std::endl;
    return EXIT_FAILURE;
  }
  ControllerApp::fatalPause = nullptr;
  if (ControllerApp::sop == nullptr) {
    std::cout << "Serial port " << ControllerApp::comport1 << " for VCR not available."
              << std::endl;
    return EXIT_SUCCESS;
  }

  QApplication app(argc, argv);
  // The program ends when the control window closes, not when its last window does.
  QApplication::setQuitOnLastWindowClosed(false);

  // The window outlives the controller: the controller's threads report to it until they end.
  LocalGUI gui;
  LocalVCR vcr(*ControllerApp::sop, ControllerApp::lanc, gui);
  ControllerApp::svcr = &vcr;
  gui.attach(vcr);
  SignalCloser closer(gui);
  QObject::connect(&gui, &LocalGUI::closed, &app, [] { QCoreApplication::exit(EXIT_SUCCESS); });

  gui.show();
  vcr.start();
  // The remote servers run while the controller does: they stop first thing in its close, so
  // no client command reaches a closing controller.
  RemoteControl remote(vcr, ControllerApp::remoteport, ControllerApp::hyperdeckport,
                       ControllerApp::hyperdeckclients, ControllerApp::remoteallow,
                       [](const std::string& line) { std::cout << (line + "\n") << std::flush; });
  vcr.onClosing([&remote] { remote.stop(); });
  const int status = QApplication::exec();
  vcr.onClosing({});

  ControllerApp::svcr = nullptr;
  std::cout.flush();
  return status;
}
