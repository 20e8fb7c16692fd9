#include <gtest/gtest.h>

#include "remote/AddressFilter.h"

TEST(AddressFilterTest, NetworksAndBadEntries) {
  std::string bad;
  const auto none = AddressFilter::parse("", bad);
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->loopbackOnly());
  EXPECT_TRUE(none->allows(0x7F000001));
  EXPECT_FALSE(none->allows(0x7F000002));
  EXPECT_FALSE(none->allows(0xC0A80105));

  const auto lan = AddressFilter::parse(" 192.168.1.0/24 ,10.0.0.7", bad);
  ASSERT_TRUE(lan);
  EXPECT_TRUE(lan->allows(0xC0A80105));   // 192.168.1.5
  EXPECT_FALSE(lan->allows(0xC0A80205));  // 192.168.2.5
  EXPECT_TRUE(lan->allows(0x0A000007));
  EXPECT_FALSE(lan->allows(0x0A000008));
  EXPECT_TRUE(lan->allows(0x7F000001));  // the machine itself stays allowed
  EXPECT_TRUE(AddressFilter::parse("0.0.0.0/0", bad)->allows(0x01020304));

  for (const char* list : {"192.168.1/24", "192.168.1.0/33", "256.1.1.1", "10.0.0.1/", "a.b.c.d",
                           "10.0.0.1 10.0.0.2", "10.0.0.1/8x", "::1/129", "fd00::1::2",
                           "fd00:0:0:0:0:0:0:0:1", "12345::", "fe80::g", ":1", "::10.0.0.256"}) {
    EXPECT_FALSE(AddressFilter::parse(list, bad)) << list;
  }
}

TEST(AddressFilterTest, Ipv6NetworksAndLoopback) {
  std::string bad;
  const auto at = [](const char* text) { return *IpAddress::parse(text); };
  const auto none = AddressFilter::parse("", bad);
  EXPECT_TRUE(none->allows(at("::1")));
  EXPECT_FALSE(none->allows(at("::2")));
  EXPECT_FALSE(none->hasV4Networks() || none->hasV6Networks());

  const auto lan = AddressFilter::parse("fd00:1:2::/48, 2001:db8::7, 10.0.0.0/8", bad);
  ASSERT_TRUE(lan);
  EXPECT_TRUE(lan->hasV4Networks() && lan->hasV6Networks());
  const std::pair<const char*, bool> cases[] = {
      {"fd00:1:2:ffff::9", true},  {"fd00:1:3::9", false}, {"2001:db8::7", true},
      {"2001:db8::8", false},      {"10.1.2.3", true},     {"::ffff:10.1.2.3", true},
      {"::a01:203", false},        {"127.0.0.1", true},    {"::1", true},
      {"FD00:0001:0002::1", true}, {"192.168.1.1", false},
  };
  for (const auto& [address, allowed] : cases) {
    EXPECT_EQ(lan->allows(at(address)), allowed) << address;
  }
  // An IPv4 network never takes in IPv6 addresses that happen to share its bits.
  EXPECT_FALSE(AddressFilter::parse("0.0.0.0/0", bad)->allows(at("fd00::1")));
  EXPECT_TRUE(AddressFilter::parse("::/0", bad)->allows(at("fd00::1")));
  // Text forms as the log writes them.
  for (const char* text : {"::1", "fd00:1:2::9", "2001:db8:0:1:1:1:1:1", "10.0.0.7", "::"}) {
    EXPECT_EQ(at(text).text(), text);
  }
}
