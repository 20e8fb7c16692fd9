#pragma once

#include <string>
#include <vector>

#include "sim/EmulatorOptions.h"

// The options of the orva-decksim program, read into emulator options.
class SimCommandLine {
 public:
  struct Result {
    EmulatorOptions options;
    std::string linkPath;  // --link: a symbolic link to the pseudo-terminal, removed at exit
    bool help = false;
    bool quiet = false;     // no status line on a terminal
    bool realtime = false;  // serve at real-time scheduling where the system grants it
    std::string error;      // empty when the arguments are good
  };

  static Result parse(const std::vector<std::string>& args);
  static std::string usage();
};
