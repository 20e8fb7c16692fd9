#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/FrameRate.h"

// Timecode helpers of the emulator: frame counts on the tape at its frame rate (30 frames/s
// unless told otherwise), "hh:mm:ss:ff" text, the deck's four BCD bytes (frames, seconds,
// minutes, hours) and frame checksums.
class SimTimecode {
 public:
  static constexpr int kFramesPerHour = 108000;
  // Frames byte flag of a drop-frame time.
  static constexpr std::uint8_t kDropFrameFlag = 0x40;

  // "hh:mm:ss:ff" naming a label that exists at the rate (minutes and seconds below 60,
  // frames below 30 or 25, not a skipped drop-frame label); nullopt otherwise.
  static std::optional<int> parse(const std::string& text, FrameRate rate = {});
  static std::string format(int frames, FrameRate rate = {});
  // Frames, seconds, minutes, hours, each as two BCD digits; at 29.97 drop-frame the frames
  // byte carries the drop-frame flag.
  static std::array<std::uint8_t, 4> toBcd(int frames, FrameRate rate = {});
  // Reads the four bytes leniently, as a deck takes a cue point: flag bits (frames bits 6-7,
  // hours bits 6-7, bit 7 of minutes and seconds) are ignored and each field is clamped into
  // its range, and a skipped drop-frame label is taken as the label after it, so any four
  // bytes name a frame.
  static int fromBcd(std::span<const std::uint8_t, 4> bytes, FrameRate rate = {});

  // The low 8 bits of the sum of the bytes.
  static std::uint8_t checksum(std::span<const std::uint8_t> bytes);
  // The bytes followed by their checksum.
  static std::vector<std::uint8_t> withChecksum(std::vector<std::uint8_t> bytes);
};
