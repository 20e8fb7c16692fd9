#include "remote/AddressFilter.h"

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
    s.remove_suffix(1);
  }
  return s;
}

// A decimal number of at most three digits, at most max.
std::optional<std::uint32_t> smallNumber(std::string_view s, std::uint32_t max) {
  if (s.empty() || s.size() > 3) {
    return std::nullopt;
  }
  std::uint32_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    v = v * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (v > max) {
    return std::nullopt;
  }
  return v;
}

std::optional<std::uint32_t> ipv4(std::string_view s) {
  std::uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = part < 3 ? s.find('.') : s.size();
    if (dot == std::string_view::npos) {
      return std::nullopt;
    }
    const auto v = smallNumber(s.substr(0, dot), 255);
    if (!v) {
      return std::nullopt;
    }
    address = (address << 8) | *v;
    s.remove_prefix(part < 3 ? dot + 1 : dot);
  }
  return address;
}

}  // namespace

std::optional<AddressFilter> AddressFilter::parse(std::string_view list, std::string& error) {
  AddressFilter filter;
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view entry = trim(list.substr(0, comma));
    if (!entry.empty()) {
      const std::size_t slash = entry.find('/');
      const auto address = ipv4(entry.substr(0, slash));
      const auto bits = slash == std::string_view::npos ? std::optional<std::uint32_t>(32)
                                                        : smallNumber(entry.substr(slash + 1), 32);
      if (!address || !bits) {
        error = std::string(entry);
        return std::nullopt;
      }
      const std::uint32_t mask = *bits == 0 ? 0 : ~std::uint32_t{0} << (32 - *bits);
      filter.networks_.push_back({*address & mask, mask});
    }
    if (comma == std::string_view::npos) {
      break;
    }
    list.remove_prefix(comma + 1);
  }
  return filter;
}

bool AddressFilter::allows(std::uint32_t address) const {
  if (address == kLoopback) {
    return true;
  }
  for (const Network& n : networks_) {
    if ((address & n.mask) == n.address) {
      return true;
    }
  }
  return false;
}
