#include "sim/SimTimecode.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

std::uint8_t bcd(int v) {
  return static_cast<std::uint8_t>((v / 10) << 4 | (v % 10));
}

int fromBcdField(std::uint8_t b, std::uint8_t mask, int max) {
  b &= mask;
  const int tens = b >> 4;
  const int units = std::min(b & 0x0F, 9);
  return std::min(tens * 10 + units, max);
}

}  // namespace

std::optional<int> SimTimecode::parse(const std::string& text) {
  if (text.size() != 11)
    return std::nullopt;
  int fields[4];
  for (int i = 0; i < 4; ++i) {
    const char hi = text[i * 3];
    const char lo = text[i * 3 + 1];
    if (!std::isdigit(static_cast<unsigned char>(hi)) ||
        !std::isdigit(static_cast<unsigned char>(lo))) {
      return std::nullopt;
    }
    if (i < 3 && text[i * 3 + 2] != ':')
      return std::nullopt;
    fields[i] = (hi - '0') * 10 + (lo - '0');
  }
  if (fields[1] > 59 || fields[2] > 59 || fields[3] > 29)
    return std::nullopt;
  return fields[0] * kFramesPerHour + fields[1] * 1800 + fields[2] * 30 + fields[3];
}

std::string SimTimecode::format(int frames) {
  frames = std::max(frames, 0);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d:%02d", (frames / kFramesPerHour) % 100,
                frames / 1800 % 60, frames / 30 % 60, frames % 30);
  return buf;
}

std::array<std::uint8_t, 4> SimTimecode::toBcd(int frames) {
  frames = std::max(frames, 0);
  return {bcd(frames % 30), bcd(frames / 30 % 60), bcd(frames / 1800 % 60),
          bcd(frames / kFramesPerHour % 100)};
}

int SimTimecode::fromBcd(std::span<const std::uint8_t, 4> bytes) {
  const int ff = fromBcdField(bytes[0], 0x3F, 29);
  const int ss = fromBcdField(bytes[1], 0x7F, 59);
  const int mm = fromBcdField(bytes[2], 0x7F, 59);
  const int hh = fromBcdField(bytes[3], 0x3F, 39);
  return hh * kFramesPerHour + mm * 1800 + ss * 30 + ff;
}

std::uint8_t SimTimecode::checksum(std::span<const std::uint8_t> bytes) {
  unsigned sum = 0;
  for (std::uint8_t b : bytes)
    sum += b;
  return static_cast<std::uint8_t>(sum & 0xFF);
}

std::vector<std::uint8_t> SimTimecode::withChecksum(std::vector<std::uint8_t> bytes) {
  const std::uint8_t sum = checksum(bytes);
  bytes.push_back(sum);
  return bytes;
}
