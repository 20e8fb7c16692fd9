#include "deck/BcdTimecode.h"

#include <stdexcept>

namespace {
constexpr char kDigits[] = "0123456789";
constexpr int kDigitPositions[] = {0, 1, 3, 4, 6, 7, 9, 10};
}  // namespace

std::optional<int> BcdTimecode::TCBCD(std::uint8_t b, int pos, std::string& tc) {
  const int tens = b >> 4;
  const int units = b & 0x0F;
  if (tens > 9 || units > 9) {
    return std::nullopt;
  }
  tc[pos] = kDigits[tens];
  tc[pos + 1] = kDigits[units];
  return tens * 10 + units;
}

int BcdTimecode::TCFBCD(std::uint8_t b, int pos, std::string& tc) {
  const int tens = (b >> 4) & 0x03;
  const int units = (b & 0x0F) % 10;
  tc[pos] = kDigits[tens];
  tc[pos + 1] = kDigits[units];
  return tens * 10 + units;
}

std::optional<BcdTimecode::Decoded> BcdTimecode::decode(const std::uint8_t* ffssmmhh,
                                                        TimecodeRate rate) {
  Decoded d;
  d.text = "00:00:00:00";
  const int hours = TCFBCD(ffssmmhh[3], 0, d.text);
  const auto minutes = TCBCD(ffssmmhh[2], 3, d.text);
  const auto seconds = TCBCD(ffssmmhh[1], 6, d.text);
  const int frames = TCFBCD(ffssmmhh[0], 9, d.text);
  if (!minutes || !seconds) {
    return std::nullopt;
  }
  d.text[8] = rate.separator();
  d.frames = rate.count({hours, *minutes, *seconds, frames});
  d.dropFrame = (ffssmmhh[0] & kDropFrameBit) != 0;
  return d;
}

void BcdTimecode::check(const std::string& text, const std::string& what) {
  if (text.size() < 11) {
    throw std::invalid_argument(what + " \"" + text + "\" is too short for a timecode hh:mm:ss:ff");
  }
  for (int pos : kDigitPositions) {
    if (text[pos] < '0' || text[pos] > '9') {
      throw std::invalid_argument(what + " \"" + text + "\" has a non-digit at position " +
                                  std::to_string(pos) + " of hh:mm:ss:ff");
    }
  }
}

std::array<std::uint8_t, 4> BcdTimecode::encode(const std::string& text, const std::string& what) {
  check(text, what);
  auto bcd = [&](int pos) {
    return static_cast<std::uint8_t>((text[pos] - '0') * 16 + (text[pos + 1] - '0'));
  };
  return {bcd(9), bcd(6), bcd(3), bcd(0)};
}

int BcdTimecode::framesOf(const std::string& text, const std::string& what, TimecodeRate rate) {
  check(text, what);
  return rate.count({field(text, 0), field(text, 3), field(text, 6), field(text, 9)});
}

std::uint8_t BcdTimecode::checksum(const std::uint8_t* bytes, std::size_t count) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < count; ++i) {
    sum += bytes[i];
  }
  return static_cast<std::uint8_t>(sum & 0xFF);
}
