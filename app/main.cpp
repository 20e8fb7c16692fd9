// ORVA: desktop controller for one video deck on a serial line.
#include <cstdlib>
#include <iostream>

#include "app/ControllerApp.h"

int main(int /*argc*/, char** /*argv*/) {
  ControllerApp::redirectLog();
  ControllerApp::init();  // settings, command link, title and report; fatal exits happen inside
  std::cout.flush();
  return EXIT_SUCCESS;
}
