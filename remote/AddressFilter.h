#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Which client addresses may connect. Without networks only the loopback address 127.0.0.1
// may; with them ("192.168.1.0/24, 10.0.0.7"), those networks may too. IPv4 only.
class AddressFilter {
 public:
  struct Network {
    std::uint32_t address = 0;  // host order, host bits cleared
    std::uint32_t mask = 0;
  };

  // Parses a comma-separated list of networks (a.b.c.d/n, or a.b.c.d for one host). Answers
  // nothing when an entry is not one, with the entry in error.
  static std::optional<AddressFilter> parse(std::string_view list, std::string& error);

  bool allows(std::uint32_t address) const;
  // Only the loopback address may connect: the servers then listen on loopback alone.
  bool loopbackOnly() const { return networks_.empty(); }

  static constexpr std::uint32_t kLoopback = 0x7F000001;  // 127.0.0.1

 private:
  std::vector<Network> networks_;
};
