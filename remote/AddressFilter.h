#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "remote/IpAddress.h"

// Which client addresses may connect. The loopback addresses 127.0.0.1 and ::1 always may; with
// networks ("192.168.1.0/24, 10.0.0.7, fd00:1::/64"), those networks may too.
class AddressFilter {
 public:
  struct Network {
    IpAddress address;
    int bits = 128;  // prefix length over the 16 bytes (an IPv4 /n is 96 + n)
  };

  // Parses a comma-separated list of networks (a.b.c.d/n, an IPv6 address/n, or an address
  // alone for one host). Answers nothing when an entry is not one, with the entry in error.
  static std::optional<AddressFilter> parse(std::string_view list, std::string& error);

  bool allows(const IpAddress& address) const;
  // An IPv4 address in host order.
  bool allows(std::uint32_t address) const { return allows(IpAddress::fromV4(address)); }
  // Only the loopback addresses may connect: the servers then listen on loopback alone.
  bool loopbackOnly() const { return networks_.empty(); }
  // Whether any network of either family is listed: the server then listens on all addresses
  // of that family, and on the family's loopback address otherwise.
  bool hasV4Networks() const;
  bool hasV6Networks() const;

  static constexpr std::uint32_t kLoopback = 0x7F000001;  // 127.0.0.1

 private:
  std::vector<Network> networks_;
};
