#include "edl/Timecode.h"

#include <array>
#include <stdexcept>

namespace {

constexpr std::array<int, 8> kDigitPositions{0, 1, 3, 4, 6, 7, 9, 10};

// Two decimal pieces of a value, each printed on its own: 7 -> "07", 10 (hours) -> "10",
// 100 -> "100", -15 -> "-1-5".
std::string pair(int v) {
  return std::to_string(v / 10) + std::to_string(v % 10);
}

}  // namespace

int Timecode::frames(std::string_view tc) {
  if (tc.size() < 11) {
    throw std::out_of_range("timecode \"" + std::string(tc) + "\" is shorter than 11 characters");
  }
  std::array<int, 8> d{};
  for (std::size_t k = 0; k < kDigitPositions.size(); ++k) {
    char c = tc[kDigitPositions[k]];
    if (!isnumeric(c)) {
      throw std::invalid_argument("timecode \"" + std::string(tc) + "\" has a non-digit at " +
                                  std::to_string(kDigitPositions[k]));
    }
    d[k] = c - '0';
  }
  int hours = d[0] * 10 + d[1];
  int minutes = d[2] * 10 + d[3];
  int seconds = d[4] * 10 + d[5];
  int fr = d[6] * 10 + d[7];
  return hours * kFramesPerHour + minutes * kFramesPerMinute + seconds * kFramesPerSecond + fr;
}

bool Timecode::wellFormed(std::string_view tc) noexcept {
  if (tc.size() < 11) {
    return false;
  }
  for (int p : kDigitPositions) {
    if (!isnumeric(tc[p])) {
      return false;
    }
  }
  return true;
}

std::string Timecode::MakeZeroString2(std::string_view tc, int duration, std::string_view sep) {
  int t = frames(tc) + duration;
  int hours = t / kFramesPerHour;
  int r = t - hours * kFramesPerHour;
  int minutes = r / kFramesPerMinute;
  int seconds = (r - minutes * kFramesPerMinute) / kFramesPerSecond;
  int fr = t % kFramesPerSecond;
  std::string out = pair(hours);
  out += ':';
  out += pair(minutes);
  out += ':';
  out += pair(seconds);
  out += sep;
  out += pair(fr);
  return out;
}
