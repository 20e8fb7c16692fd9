#include "remote/IpAddress.h"

#include <cstdio>
#include <vector>

namespace {

constexpr IpAddress::Bytes kV4Prefix = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};

std::optional<std::array<std::uint8_t, 4>> dotted(std::string_view s) {
  std::array<std::uint8_t, 4> out{};
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = part < 3 ? s.find('.') : s.size();
    if (dot == std::string_view::npos) {
      return std::nullopt;
    }
    const auto v = IpAddress::smallNumber(s.substr(0, dot), 255);
    if (!v) {
      return std::nullopt;
    }
    out[static_cast<std::size_t>(part)] = static_cast<std::uint8_t>(*v);
    s.remove_prefix(part < 3 ? dot + 1 : dot);
  }
  return out;
}

// One group of one to four hex digits.
std::optional<std::uint16_t> group(std::string_view s) {
  if (s.empty() || s.size() > 4) {
    return std::nullopt;
  }
  unsigned v = 0;
  for (char c : s) {
    unsigned d = 0;
    if (c >= '0' && c <= '9') {
      d = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      d = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      d = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    v = v * 16 + d;
  }
  return static_cast<std::uint16_t>(v);
}

// The groups of one side of "::" (or of a whole address without it); a dotted IPv4 part is
// allowed at the very end and counts as two groups.
std::optional<std::vector<std::uint16_t>> groups(std::string_view s, bool last) {
  std::vector<std::uint16_t> out;
  if (s.empty()) {
    return out;
  }
  while (true) {
    const std::size_t colon = s.find(':');
    const std::string_view part = s.substr(0, colon);
    if (colon == std::string_view::npos && last && part.find('.') != std::string_view::npos) {
      const auto v4 = dotted(part);
      if (!v4) {
        return std::nullopt;
      }
      out.push_back(static_cast<std::uint16_t>((*v4)[0] << 8 | (*v4)[1]));
      out.push_back(static_cast<std::uint16_t>((*v4)[2] << 8 | (*v4)[3]));
      return out;
    }
    const auto g = group(part);
    if (!g) {
      return std::nullopt;
    }
    out.push_back(*g);
    if (colon == std::string_view::npos) {
      return out;
    }
    s.remove_prefix(colon + 1);
  }
}

}  // namespace

std::optional<int> IpAddress::smallNumber(std::string_view s, int max) {
  if (s.empty() || s.size() > 3) {
    return std::nullopt;
  }
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    v = v * 10 + (c - '0');
  }
  if (v > max) {
    return std::nullopt;
  }
  return v;
}

IpAddress IpAddress::fromV4(std::uint32_t address) {
  Bytes b = kV4Prefix;
  for (int i = 0; i < 4; ++i) {
    b[static_cast<std::size_t>(12 + i)] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
  }
  return IpAddress(b);
}

std::optional<IpAddress> IpAddress::parse(std::string_view text) {
  if (text.find(':') == std::string_view::npos) {
    const auto v4 = dotted(text);
    if (!v4) {
      return std::nullopt;
    }
    return fromV4(static_cast<std::uint32_t>((*v4)[0]) << 24 |
                  static_cast<std::uint32_t>((*v4)[1]) << 16 |
                  static_cast<std::uint32_t>((*v4)[2]) << 8 | (*v4)[3]);
  }
  const std::size_t gap = text.find("::");
  std::optional<std::vector<std::uint16_t>> head;
  std::optional<std::vector<std::uint16_t>> tail;
  if (gap == std::string_view::npos) {
    head = groups(text, true);
    tail = std::vector<std::uint16_t>{};
  } else {
    if (text.find("::", gap + 1) != std::string_view::npos) {
      return std::nullopt;  // only one run of zeros may be left out
    }
    head = groups(text.substr(0, gap), false);
    tail = groups(text.substr(gap + 2), true);
  }
  if (!head || !tail) {
    return std::nullopt;
  }
  const std::size_t count = head->size() + tail->size();
  if (gap == std::string_view::npos ? count != 8 : count > 7) {
    return std::nullopt;
  }
  Bytes b{};
  std::size_t at = 0;
  for (std::uint16_t g : *head) {
    b[at++] = static_cast<std::uint8_t>(g >> 8);
    b[at++] = static_cast<std::uint8_t>(g);
  }
  at = 16 - 2 * tail->size();
  for (std::uint16_t g : *tail) {
    b[at++] = static_cast<std::uint8_t>(g >> 8);
    b[at++] = static_cast<std::uint8_t>(g);
  }
  return IpAddress(b);
}

bool IpAddress::isV4() const {
  for (std::size_t i = 0; i < 12; ++i) {
    if (bytes_[i] != kV4Prefix[i]) {
      return false;
    }
  }
  return true;
}

std::string IpAddress::text() const {
  char out[48];
  if (isV4()) {
    std::snprintf(out, sizeof out, "%u.%u.%u.%u", bytes_[12], bytes_[13], bytes_[14], bytes_[15]);
    return out;
  }
  // Groups in hex without leading zeros, the longest run of two or more zero groups as "::".
  unsigned g[8];
  for (int i = 0; i < 8; ++i) {
    g[i] = static_cast<unsigned>(bytes_[static_cast<std::size_t>(2 * i)]) << 8 |
           bytes_[static_cast<std::size_t>(2 * i + 1)];
  }
  int bestAt = -1;
  int bestLen = 1;
  for (int i = 0; i < 8;) {
    int j = i;
    while (j < 8 && g[j] == 0) {
      ++j;
    }
    if (j - i > bestLen) {
      bestAt = i;
      bestLen = j - i;
    }
    i = j == i ? i + 1 : j;
  }
  std::string s;
  for (int i = 0; i < 8; ++i) {
    if (i == bestAt) {
      s += "::";
      i += bestLen - 1;
      continue;
    }
    if (!s.empty() && s.back() != ':') {
      s += ':';
    }
    std::snprintf(out, sizeof out, "%x", g[i]);
    s += out;
  }
  return s;
}

bool IpAddress::samePrefix(const IpAddress& other, int bits) const {
  for (std::size_t i = 0; bits > 0 && i < 16; ++i, bits -= 8) {
    const std::uint8_t mask = bits >= 8 ? 0xFF : static_cast<std::uint8_t>(0xFF << (8 - bits));
    if ((bytes_[i] & mask) != (other.bytes_[i] & mask)) {
      return false;
    }
  }
  return true;
}
