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
                           "10.0.0.1 10.0.0.2", "10.0.0.1/8x", "::1"}) {
    EXPECT_FALSE(AddressFilter::parse(list, bad)) << list;
  }
}
