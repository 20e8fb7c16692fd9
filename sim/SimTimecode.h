#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Timecode helpers of the emulator: frame counts at 30 frames/s, "hh:mm:ss:ff" text, the
// deck's four BCD bytes (frames, seconds, minutes, hours) and frame checksums.
class SimTimecode {
 public:
  static constexpr int kFramesPerHour = 108000;

  // "hh:mm:ss:ff" with minutes and seconds below 60 and frames below 30; nullopt otherwise.
  static std::optional<int> parse(const std::string& text);
  static std::string format(int frames);
  // Frames, seconds, minutes, hours, each as two BCD digits.
  static std::array<std::uint8_t, 4> toBcd(int frames);
  // Reads the four bytes leniently, as a deck takes a cue point: flag bits (frames bits 6-7,
  // hours bits 6-7, bit 7 of minutes and seconds) are ignored and each field is clamped into
  // its range, so any four bytes name a frame.
  static int fromBcd(std::span<const std::uint8_t, 4> bytes);

  // The low 8 bits of the sum of the bytes.
  static std::uint8_t checksum(std::span<const std::uint8_t> bytes);
  // The bytes followed by their checksum.
  static std::vector<std::uint8_t> withChecksum(std::vector<std::uint8_t> bytes);
};
