#include "remote/AddressFilter.h"

#include <algorithm>

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

IpAddress loopbackV6() {
  IpAddress::Bytes b{};
  b[15] = 1;
  return IpAddress(b);
}

}  // namespace

std::optional<AddressFilter> AddressFilter::parse(std::string_view list, std::string& error) {
  AddressFilter filter;
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view entry = trim(list.substr(0, comma));
    if (!entry.empty()) {
      const std::size_t slash = entry.find('/');
      const auto address = IpAddress::parse(entry.substr(0, slash));
      // An IPv4 network counts its bits after the 96 of the mapped form.
      const int offset = address && address->isV4() ? 96 : 0;
      const auto bits = slash == std::string_view::npos
                            ? std::optional<int>(128 - offset)
                            : IpAddress::smallNumber(entry.substr(slash + 1), 128 - offset);
      if (!address || !bits) {
        error = std::string(entry);
        return std::nullopt;
      }
      filter.networks_.push_back({*address, offset + *bits});
    }
    if (comma == std::string_view::npos) {
      break;
    }
    list.remove_prefix(comma + 1);
  }
  return filter;
}

bool AddressFilter::allows(const IpAddress& address) const {
  if (address == IpAddress::fromV4(kLoopback) || address == loopbackV6()) {
    return true;
  }
  return std::any_of(networks_.begin(), networks_.end(),
                     [&](const Network& n) { return address.samePrefix(n.address, n.bits); });
}

bool AddressFilter::hasV4Networks() const {
  return std::any_of(networks_.begin(), networks_.end(),
                     [](const Network& n) { return n.address.isV4(); });
}

bool AddressFilter::hasV6Networks() const {
  return std::any_of(networks_.begin(), networks_.end(),
                     [](const Network& n) { return !n.address.isV4(); });
}
