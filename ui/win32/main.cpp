// ORVA for Windows: the deck controller with its control window on the Win32 API.
//
// Start-up as on every platform: standard output to ORVALog.txt, the settings, the command link
// (COMn through the Win32 serial driver, SIM for the built-in deck emulator), title and report;
// a missing settings file or deck port ends the process after its pause. Then the control
// window and the deck controller are made and the message loop runs until the window closes,
// by the operator, a console Ctrl-C or the end of the session, which close it the same way:
// polling stops, Stop is sent twice 500 ms apart when StopOnExit is on, and the status is 0.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h: the common controls.
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/ControllerApp.h"
#include "app/NativeFile.h"
#include "app/Utils.h"
#include "deck/LocalVCR.h"
#include "remote/RemoteControl.h"
#include "serial/SerOutPort.h"
#include "serial/port/PortLister.h"
#include "ui/win32/ConsoleCloser.h"
#include "ui/win32/ControlWindow.h"
#include "ui/win32/MessageWindow.h"

namespace {

const char* const kUsage =
    "Usage: orva [--help | --version | --list-ports]\n"
    "Controls one video deck on a serial line, with a clip logger and an EDL converter for\n"
    "the DVD recorder. Takes no other arguments: the settings come from ORVASettings.txt in\n"
    "the working folder (COMPort = SIM drives the built-in deck emulator, COM3 a real port)\n"
    "and everything the program prints goes to ORVALog.txt there. --list-ports shows the\n"
    "serial ports this computer has.\n";

// The answer to a command-line option goes to the standard output the program was given, or
// else to the console it was started from; started from Explorer or the Start menu it has
// neither, and the answer shows in a message window.
void answer(const std::string& text, bool console) {
  if (::_fileno(stdout) < 0 && console) {
    const int fd = NativeFile::openFd("CONOUT$", _O_WRONLY | _O_TEXT | _O_NOINHERIT);
    if (fd >= 0) {
      NativeFile::attachStdout(fd);
      ::_close(fd);
    }
  }
  if (::_fileno(stdout) >= 0) {
    std::cout << text << std::flush;
  } else {
    MessageWindow::show("ORVA", text, 0, false);
  }
}

bool answeredInfoOption(const std::vector<std::string>& args, bool console) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h" || args[i] == "/?") {
      answer(kUsage, console);
      return true;
    }
    if (args[i] == "--version") {
      answer(std::string("orva ") + ORVA_VERSION + "\n", console);
      return true;
    }
    if (args[i] == "--list-ports") {
      std::string text;
      for (const std::string& line : PortLister::lines(PortLister::list())) {
        text += line + "\n";
      }
      answer(text, console);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // A window program has no console of its own; started from one, it joins it, so that its
  // answers to --help show there and Ctrl-C there closes the window.
  const bool console = AttachConsole(ATTACH_PARENT_PROCESS) != 0;
  if (answeredInfoOption(NativeFile::arguments(argc, argv), console)) {
    return EXIT_SUCCESS;
  }
  ControllerApp::redirectLog();
  // A start-up that ends the process says why in a small window for the length of its pause
  // (Enter ends it early), as well as in the log.
  ControllerApp::fatalPause = [](const std::string& message, int ms) {
    if (!MessageWindow::show("ORVA", message, ms)) {
      Utils::DelayT(ms);
    }
  };
  ControllerApp::init();  // settings, command link, title and report; fatal exits happen inside
  std::cout.flush();
  ControllerApp::fatalPause = nullptr;
  if (ControllerApp::sop == nullptr) {
    std::cout << "Serial port " << ControllerApp::comport1 << " for VCR not available."
              << std::endl;
    return EXIT_SUCCESS;
  }

  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);

  // The window outlives the controller: the controller's threads report to it until they end.
  ControlWindow window;
  if (!window.create()) {
    std::cout << "No display: the control window could not be made." << std::endl;
    return EXIT_FAILURE;
  }
  LocalVCR vcr(*ControllerApp::sop, ControllerApp::lanc, window.presenter());
  ControllerApp::svcr = &vcr;
  window.attach(vcr);
  ConsoleCloser closer(window);
  window.onClosed([&closer] { closer.closed(); });

  window.show();
  vcr.start();
  // The remote servers run while the controller does: they stop first thing in its close, so
  // no client command reaches a closing controller.
  RemoteControl remote(vcr, ControllerApp::remoteport, ControllerApp::hyperdeckport,
                       ControllerApp::hyperdeckclients, ControllerApp::remoteallow,
                       [](const std::string& line) { std::cout << (line + "\n") << std::flush; });
  vcr.onClosing([&remote] { remote.stop(); });
  const int status = Window::runMessageLoop();
  vcr.onClosing({});

  ControllerApp::svcr = nullptr;
  std::cout.flush();
  return status;
}
