#pragma once

#include <string>

#include "sim/DeckEmulator.h"

// The one line orva-decksim keeps up to date on a terminal: tape position, mode, speed and
// the frames that came in and went out, e.g.
//   00:01:02:03  play      +1.00x  in 120  out 120  (30 fps)
class StatusLine {
 public:
  static std::string text(const DeckEmulator::Snapshot& s, FrameRate rate);
};
