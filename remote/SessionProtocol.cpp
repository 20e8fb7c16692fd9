#include "remote/SessionProtocol.h"

namespace {

// Printable UTF-8: no control bytes, every multi-byte sequence whole and shortest.
bool printableUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c == 0x7F) {
      return false;
    }
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t extra = 0;
    unsigned min = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
      min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      min = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= s.size()) {
      return false;
    }
    unsigned cp = c & (0x3F >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) {
        return false;
      }
      cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

}  // namespace

SessionProtocol::Request SessionProtocol::parse(std::string_view line, bool lx1) {
  Request r;
  if (!printableUtf8(line)) {
    r.error = "not a text line";
    return r;
  }
  const DeckCommand* c = line.size() < 4 ? nullptr : CommandTable::forLine(line, lx1);
  if (c == nullptr) {
    r.error = "unknown command";
    return r;
  }
  r.command = c;
  if (c->word == "GetTC") {
    r.kind = Kind::GetTC;
  } else if (c->word == "Status") {
    r.kind = Kind::Status;
  } else {
    r.kind = Kind::Command;
  }
  return r;
}

std::string SessionProtocol::error(std::string_view reason) {
  return text(std::string("ERROR ") + std::string(reason));
}

std::string SessionProtocol::text(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 1);
  for (char c : text) {
    line += (c == '\n' || c == '\r' || c == '\0') ? ' ' : c;
  }
  line += '\n';
  return line;
}
