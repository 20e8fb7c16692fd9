#pragma once

#include <cstdint>
#include <vector>

// Bytes the deck hands to the line at a given time. A write that starts a logged event carries
// its transcript tag and the bytes to log (a reply split into parts logs the whole reply once,
// with its first part); continuation parts carry no tag.
struct ScheduledWrite {
  std::int64_t dueUs = 0;
  std::vector<std::uint8_t> bytes;
  const char* tag = nullptr;
  std::vector<std::uint8_t> logged;
};
