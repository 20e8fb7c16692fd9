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

std::optional<int> SimTimecode::parse(const std::string& text, FrameRate rate) {
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
  const FrameRate::Label label{fields[0], fields[1], fields[2], fields[3]};
  if (!rate.exists(label))
    return std::nullopt;
  return rate.frameOf(label);
}

std::string SimTimecode::format(int frames, FrameRate rate) {
  const auto l = rate.label(frames);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d:%02d", l.hours % 100, l.minutes, l.seconds,
                l.frames);
  return buf;
}

std::array<std::uint8_t, 4> SimTimecode::toBcd(int frames, FrameRate rate) {
  const auto l = rate.label(frames);
  const std::uint8_t flags = rate.dropFrame() ? kDropFrameFlag : 0;
  return {static_cast<std::uint8_t>(bcd(l.frames) | flags), bcd(l.seconds), bcd(l.minutes),
          bcd(l.hours % 100)};
}

int SimTimecode::fromBcd(std::span<const std::uint8_t, 4> bytes, FrameRate rate) {
  const FrameRate::Label label{fromBcdField(bytes[3], 0x3F, 39), fromBcdField(bytes[2], 0x7F, 59),
                               fromBcdField(bytes[1], 0x7F, 59),
                               fromBcdField(bytes[0], 0x3F, rate.nominal() - 1)};
  return rate.frameOf(label);
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
