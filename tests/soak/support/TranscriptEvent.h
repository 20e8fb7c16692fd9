#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One line of the deck emulator's transcript: "<microseconds> <TAG> [<hex byte> ...]".
struct TranscriptEvent {
  std::int64_t us = 0;
  std::string tag;  // IN, OUT, JUNK, LOST, TIMEOUT, PAD, HANGUP
  std::vector<std::uint8_t> bytes;

  // Parses one line; nothing for a line that is not in that shape.
  static std::optional<TranscriptEvent> parse(const std::string& line);
};
