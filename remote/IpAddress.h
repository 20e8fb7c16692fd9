#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// An IPv4 or IPv6 address as 16 bytes, network order; an IPv4 address is kept in its mapped
// IPv6 form (::ffff:a.b.c.d), so one comparison covers both families.
class IpAddress {
 public:
  using Bytes = std::array<std::uint8_t, 16>;

  IpAddress() = default;
  explicit IpAddress(const Bytes& bytes) : bytes_(bytes) {}
  // An IPv4 address in host order (0x7F000001 is 127.0.0.1).
  static IpAddress fromV4(std::uint32_t address);
  // "a.b.c.d" or an IPv6 text ("::1", "fd00::7", "::ffff:10.0.0.1"); nothing when it is neither.
  static std::optional<IpAddress> parse(std::string_view text);

  // A decimal number of one to three digits, at most max: an IPv4 octet or a prefix length.
  static std::optional<int> smallNumber(std::string_view text, int max);

  const Bytes& bytes() const { return bytes_; }
  bool isV4() const;
  // The address as text: "a.b.c.d" for IPv4, the IPv6 groups in hex otherwise.
  std::string text() const;
  // True when the first `bits` bits of both addresses agree.
  bool samePrefix(const IpAddress& other, int bits) const;
  bool operator==(const IpAddress&) const = default;

 private:
  Bytes bytes_{};
};
