#include "soak/support/TranscriptEvent.h"

#include <sstream>

std::optional<TranscriptEvent> TranscriptEvent::parse(const std::string& line) {
  std::istringstream in(line);
  TranscriptEvent e;
  if (!(in >> e.us >> e.tag)) {
    return std::nullopt;
  }
  for (std::string hex; in >> hex;) {
    if (hex.size() != 2) {
      return std::nullopt;
    }
    std::size_t used = 0;
    int value = 0;
    try {
      value = std::stoi(hex, &used, 16);
    } catch (const std::exception&) {
      return std::nullopt;
    }
    if (used != 2) {
      return std::nullopt;
    }
    e.bytes.push_back(static_cast<std::uint8_t>(value));
  }
  return e;
}
