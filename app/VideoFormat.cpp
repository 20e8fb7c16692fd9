#include "app/VideoFormat.h"

namespace {

// The format tokens of the protocol, as clients list them.
constexpr std::string_view kTokens[] = {
    "NTSC",       "PAL",     "NTSCp",       "PALp",      "720p50",      "720p5994",    "720p60",
    "1080p23976", "1080p24", "1080p25",     "1080p2997", "1080p30",     "1080i50",     "1080i5994",
    "1080i60",    "1080p50", "1080p5994",   "1080p60",   "2Kp23976DCI", "2Kp24DCI",    "2Kp25DCI",
    "4Kp23976",   "4Kp24",   "4Kp25",       "4Kp2997",   "4Kp30",       "4Kp23976DCI", "4Kp24DCI",
    "4Kp25DCI",   "4Kp50",   "4Kp5994",     "4Kp60",     "8Kp23976",    "8Kp24",       "8Kp25",
    "8Kp2997",    "8Kp30",   "8Kp23976DCI", "8Kp24DCI",  "8Kp25DCI",    "8Kp50",       "8Kp5994",
    "8Kp60"};

}  // namespace

std::optional<std::string> VideoFormat::parse(std::string_view text) {
  for (std::string_view token : kTokens) {
    if (text == token) {
      return std::string(token);
    }
  }
  return std::nullopt;
}

std::string VideoFormat::forRate(TimecodeRate rate) {
  switch (rate.kind()) {
    case TimecodeRate::Kind::Fps25:
      return "PAL";
    case TimecodeRate::Kind::Fps24:
      return "1080p24";
    case TimecodeRate::Kind::Fps30:
    case TimecodeRate::Kind::Fps2997Df:
      break;
  }
  return "NTSC";
}
