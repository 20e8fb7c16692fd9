#include "edl/Timecode.h"

#include <array>
#include <stdexcept>

namespace {

constexpr std::array<int, 8> kDigitPositions{0, 1, 3, 4, 6, 7, 9, 10};

}  // namespace

int Timecode::frames(std::string_view tc, TimecodeRate rate) {
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
  return rate.count({d[0] * 10 + d[1], d[2] * 10 + d[3], d[4] * 10 + d[5], d[6] * 10 + d[7]});
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

std::string Timecode::MakeZeroString2(std::string_view tc, int duration, TimecodeRate rate) {
  return rate.text(frames(tc, rate) + duration);
}
