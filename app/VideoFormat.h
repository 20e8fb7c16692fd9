#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/TimecodeRate.h"

// The video format the HyperDeck server reports ("VideoFormat"): one of the protocol's format
// tokens, written exactly as clients compare them (letter case counts: "NTSCp", "4Kp25").
// Without a setting it follows the room's frame rate, so a client that derives its timecode
// rate from the format counts as the room does.
class VideoFormat {
 public:
  // The token itself when the protocol knows it; nothing otherwise.
  static std::optional<std::string> parse(std::string_view text);
  // The format of a room at this rate: "PAL" at 25, "NTSC" at 30 and 29.97DF, "1080p24" at 24.
  static std::string forRate(TimecodeRate rate);
};
