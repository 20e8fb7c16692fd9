#pragma once

#include <string>
#include <string_view>

#include "app/TimecodeRate.h"

// Frame arithmetic on timecode text "hh:mm:ss:ff" at a frame rate (30 frames per second, no
// drop-frame correction, unless told otherwise). Only the eight digit positions (0, 1, 3, 4,
// 6, 7, 9, 10) are read; the separators and anything after position 10 are ignored.
class Timecode {
 public:
  // Frame count of a timecode text. Throws std::out_of_range when the text is shorter than 11
  // characters and std::invalid_argument when a digit position holds anything but 0-9; nothing
  // is partially computed in either case.
  static int frames(std::string_view tc, TimecodeRate rate = {});

  // True when frames() would succeed on the text.
  static bool wellFormed(std::string_view tc) noexcept;

  // The label of frames(tc) + duration at the rate, written as hh:mm:ss:ff (hh:mm:ss;ff at
  // drop-frame). Hours are not wrapped at 24 (100 hours give "100:00:00:00"). Division
  // truncates toward zero, so a negative total yields signed pieces.
  static std::string MakeZeroString2(std::string_view tc, int duration, TimecodeRate rate = {});

  static bool isnumeric(char c) noexcept { return c >= '0' && c <= '9'; }
  static bool iscolon(char c) noexcept { return c == ':'; }
};
