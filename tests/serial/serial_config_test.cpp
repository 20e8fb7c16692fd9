#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "serial/port/SerialConfig.h"

namespace {

// Runs f, which must throw std::invalid_argument with exactly `message`.
template <typename F>
void expectInvalid(F f, const std::string& message) {
  try {
    f();
    ADD_FAILURE() << "no error, expected: " << message;
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(e.what(), message);
  }
}

}  // namespace

TEST(SerialConfigConstruction, DefaultsOfEachConstructor) {
  const SerialConfig none;
  EXPECT_EQ(none.getPortName(), "COM1");
  EXPECT_EQ(none.getBaseName(), "/dev/ttyS");
  EXPECT_EQ(none.getPort(), 0);
  EXPECT_EQ(none.getTxLen(), 2048);
  EXPECT_EQ(none.getRxLen(), 4096);
  EXPECT_EQ(none.getBitRate(), SerialConfig::BR_9600);
  EXPECT_EQ(none.getParity(), SerialConfig::PY_NONE);
  EXPECT_EQ(none.getDataBits(), SerialConfig::LN_8BITS);
  EXPECT_EQ(none.getStopBits(), SerialConfig::ST_1BITS);
  EXPECT_EQ(none.getHandshake(), SerialConfig::HS_NONE);
  EXPECT_TRUE(none.getHardFlow());
#ifdef _WIN32
  EXPECT_EQ(none.getOsName(), "Windows NT");
#else
  EXPECT_EQ(none.getOsName(), "Linux");
#endif

  const SerialConfig numbered(3);
  EXPECT_EQ(numbered.getPort(), 3);
  EXPECT_EQ(numbered.getPortName(), "");
  EXPECT_EQ(numbered.getBaseName(), "/dev/ttyS");

  const SerialConfig sized(2, 100, 200);
  EXPECT_EQ(sized.getPort(), 2);
  EXPECT_EQ(sized.getTxLen(), 100);
  EXPECT_EQ(sized.getRxLen(), 200);

  const SerialConfig named("/dev/ttyUSB0");
  EXPECT_EQ(named.getPortName(), "/dev/ttyUSB0");
  EXPECT_EQ(named.getBaseName(), "");
  EXPECT_EQ(named.getPort(), 0);

  expectInvalid([] { SerialConfig bad(-1); }, "Invalid Port Number: -1");
}

TEST(SerialConfigSetters, AcceptTheirRangesAndRefuseTheRestWithTheirMessage) {
  SerialConfig c("COM1");
  c.setPortNum(0);
  c.setPortNum(7);
  EXPECT_EQ(c.getPort(), 7);
  expectInvalid([&] { c.setPortNum(-5); }, "Invalid Port Number: -5");
  EXPECT_EQ(c.getPort(), 7) << "a refused value leaves the field alone";

  c.setBitRate(SerialConfig::BR_110);
  c.setBitRate(SerialConfig::BR_115200);
  EXPECT_EQ(c.getBitRate(), 11);
  expectInvalid([&] { c.setBitRate(12); }, "Invalid Serial Port Bit Rate");
  expectInvalid([&] { c.setBitRate(-1); }, "Invalid Serial Port Bit Rate");

  c.setParity(SerialConfig::PY_EVEN);
  EXPECT_EQ(c.getParity(), 2);
  // Mark parity has a constant but no driver supports it.
  expectInvalid([&] { c.setParity(SerialConfig::PY_MARK); }, "Invalid Serial Port Parity");
  expectInvalid([&] { c.setParity(-1); }, "Invalid Serial Port Parity");

  c.setDataBits(SerialConfig::LN_5BITS);
  EXPECT_EQ(c.getDataBits(), 0);
  expectInvalid([&] { c.setDataBits(4); }, "Invalid Serial Port Data Bits");

  c.setStopBits(SerialConfig::ST_2BITS);
  EXPECT_EQ(c.getStopBits(), 1);
  expectInvalid([&] { c.setStopBits(2); }, "Invalid Serial Port Stop Bits");

  c.setHardFlow(false);
  c.setTxLen(-3);
  c.setRxLen(0);
  EXPECT_FALSE(c.getHardFlow());
  EXPECT_EQ(c.getTxLen(), -3);
  EXPECT_EQ(c.getRxLen(), 0);
}

TEST(SerialConfigSetters, HandshakeRangesAndThePlatformLimitOnDsrDtr) {
  SerialConfig c;
  for (int ok : {0, 1, 2, 16, 48, 240}) {
    c.setHandshake(ok);
    EXPECT_EQ(c.getHandshake(), ok);
  }
  for (int bad : {4, 15, 241, -1}) {
    expectInvalid([&] { c.setHandshake(bad); }, "Invalid Serial Port Handshake");
  }
  // On this system DSR/DTR is refused with its own message, checked before the range.
  SerialConfig posix;
  posix.setOsName("Linux");
  expectInvalid([&] { posix.setHandshake(SerialConfig::HS_DSRDTR); },
                "DSRDTR handshaking not available on this platform");
  for (const char* os : {"Windows 95", "Windows NT", "Windows CE", "Windows 98", "OS/2"}) {
    SerialConfig w;
    w.setOsName(os);
    w.setHandshake(SerialConfig::HS_DSRDTR);
    EXPECT_EQ(w.getHandshake(), 3) << os;
  }
}

TEST(SerialConfigCopy, IsIndependentFieldByFieldDuplicate) {
  SerialConfig a("/dev/pts/9");
  a.setBitRate(SerialConfig::BR_38400);
  a.setParity(SerialConfig::PY_ODD);
  a.setHardFlow(false);
  a.setBaseName("/dev/ttyUSB");
  SerialConfig b = a.copy();
  a.setPortName("COM2");
  a.setBitRate(SerialConfig::BR_300);
  EXPECT_EQ(b.getPortName(), "/dev/pts/9");
  EXPECT_EQ(b.getBaseName(), "/dev/ttyUSB");
  EXPECT_EQ(b.getBitRate(), SerialConfig::BR_38400);
  EXPECT_EQ(b.getParity(), SerialConfig::PY_ODD);
  EXPECT_FALSE(b.getHardFlow());
}
