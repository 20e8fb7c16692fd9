#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "serial/port/SerInputStream.h"
#include "serial/port/SerOutputStream.h"
#include "serial/port/SerialIOError.h"
#include "serial/port/SerialPortLocal.h"
#include "serial/support/FakeDriver.h"
#include "serial/support/PtyPair.h"
#include "serial/support/PtyResponder.h"
#include "serial/support/WaitFor.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void expectIOError(const std::function<void()>& f, const std::string& message) {
  try {
    f();
    ADD_FAILURE() << "no error, expected: " << message;
  } catch (const SerialIOError& e) {
    EXPECT_EQ(std::string(e.what()), message);
  }
}

class SerialPortLocalTest : public ::testing::Test {
 protected:
  SerialPortLocalTest() { driver->portNumber = 3; }

  SerialPortLocal openOn(const std::string& os) {
    return SerialPortLocal(SerialConfig("COM3"), driver, os);
  }

  std::shared_ptr<FakeDriver> driver = std::make_shared<FakeDriver>();
};

}  // namespace

TEST_F(SerialPortLocalTest, OpeningUsesTheHandleTheDriverGaveAndClearsTheReceiveTimeout) {
  SerialPortLocal port = openOn("Linux");
  EXPECT_TRUE(port.isOpen());
  EXPECT_EQ(port.getPortNum(), 2);
  EXPECT_EQ(port.getConfig().getPort(), 3);
  EXPECT_EQ(port.getName(), "Serial Port");
  EXPECT_EQ(port.getName(4), "Not implemented");
  EXPECT_EQ(driver->calls(),
            (std::vector<std::string>{"SerOpenPort", "SerConfigure", "SerSetTimeoutRx"}))
      << "Linux has no transmit time-out to clear";
  EXPECT_EQ(driver->handles("SerSetTimeoutRx"), std::vector<int>{2});

  SerialPortLocal windows(SerialConfig("COM3"), std::make_shared<FakeDriver>(), "Windows NT");
  EXPECT_EQ(windows.getPortNum(), 0);
}

TEST_F(SerialPortLocalTest, OpenFailuresNameTheDriverCode) {
  const std::vector<std::pair<int, std::string>> cases = {
      {1000, "SerOpenPort failed: Port is already open"},
      {1002, "SerOpenPort failed: Port is in use"},
      {1003, "SerOpenPort failed: Port not valid"},
      {1001, "SerOpenPort failed: 1001"},
      {13, "SerOpenPort failed: 13"},
  };
  for (const auto& [code, text] : cases) {
    auto d = std::make_shared<FakeDriver>();
    d->setResult("SerOpenPort", code);
    expectIOError([&] { SerialPortLocal p(SerialConfig("COM1"), d, "Linux"); }, text);
    EXPECT_EQ(d->count("SerClosePort"), 0) << "a port that never opened is not closed";
  }
}

TEST_F(SerialPortLocalTest, APortThatOpensButCannotBeConfiguredIsClosedAgain) {
  driver->setResult("SerConfigure", 5);
  expectIOError([&] { openOn("Linux"); }, "Configure failed: 5");
  EXPECT_EQ(driver->handles("SerClosePort"), std::vector<int>{2});
}

TEST_F(SerialPortLocalTest, FeatureSetupFollowsTheSystemName) {
  const std::vector<std::string> flagged = {
      "sigBreak", "sigFrameErr",  "sigOverrun", "sigParityErr", "rxOverflow",
      "sigRing",  "sigCTS",       "sigDSR",     "sigCD",        "setRTS",
      "setDTR",   "rxReadyCount", "txBufCount", "setTimeoutTx"};
  struct Case {
    std::string os;
    std::vector<std::string> on;
    bool soft;
    std::string dev;
  };
  const std::vector<std::string> unixOn = {"sigRing",      "setRTS",     "setDTR", "sigCD",
                                           "rxReadyCount", "txBufCount", "sigCTS", "sigDSR"};
  const std::vector<Case> cases = {
      {"Linux", unixOn, true, "/dev/ttyS0"},
      {"Solaris", unixOn, true, "/dev/ttya"},
      {"AIX", unixOn, true, "/dev/tty0"},
      {"Windows 98", flagged, false, "COM1"},
      {"Mac OS",
       {"sigBreak", "sigFrameErr", "sigParityErr", "sigOverrun", "rxOverflow", "rxReadyCount",
        "setTimeoutTx", "sigCTS", "setDTR"},
       true,
       "Modem Port"},
      {"Windows CE", {}, false, ""},
      {"BeOS", {}, false, ""},
  };
  for (const auto& c : cases) {
    SerialPortLocal p(driver, c.os);
    EXPECT_EQ(p.getDevName(), c.dev) << c.os;
    EXPECT_EQ(p.getSoftGetDataTimeout(), c.soft) << c.os;
    for (const auto& f : flagged) {
      const bool want = std::find(c.on.begin(), c.on.end(), f) != c.on.end();
      EXPECT_EQ(p.isSupported(f), want) << c.os << " " << f;
    }
    // Names without a flag of their own are taken as supported.
    EXPECT_TRUE(p.isSupported("getTimeoutTx")) << c.os;
    EXPECT_TRUE(p.isSupported("anything")) << c.os;
  }
  EXPECT_EQ(driver->count("SerOpenPort"), 0) << "the argument-less form opens nothing";
  SerialPortLocal plain(driver, "Linux");
  EXPECT_EQ(plain.getConfig().getPortName(), "/dev/ttyS0");
  EXPECT_EQ(plain.getPortNum(), -1);
  EXPECT_FALSE(plain.isOpen());
}

TEST_F(SerialPortLocalTest, OperationsTheSystemLacksAreRefusedBeforeTheDriver) {
  SerialPortLocal port = openOn("Linux");
  expectIOError([&] { port.sigBreak(); }, "sigBreak not supported on Linux");
  expectIOError([&] { port.sigFrameErr(); }, "sigFrameErr not supported on Linux");
  expectIOError([&] { port.sigOverrun(); }, "sigOverrun not supported on Linux");
  expectIOError([&] { port.sigParityErr(); }, "sigParityErr not supported on Linux");
  expectIOError([&] { port.rxOverflow(); }, "rxOverflow not supported on Linux");
  EXPECT_EQ(driver->count("SerSigBreak") + driver->count("SerRxOverflow"), 0);

  SerialPortLocal ce(SerialConfig("COM3"), driver, "Windows CE");
  expectIOError([&] { ce.setRTS(true); }, "setRts not supported on Windows CE");
  expectIOError([&] { ce.setDTR(true); }, "setDTR not supported on Windows CE");
  expectIOError([&] { ce.rxReadyCount(); }, "rxReadyCount not supported on Windows CE");
  expectIOError([&] { ce.txBufCount(); }, "txBufCount not supported on Windows CE");
  expectIOError([&] { ce.sigCD(); }, "sigCD not supported on Windows CE");
  // DSR and CTS have no support flag: they reach the driver everywhere.
  EXPECT_FALSE(ce.sigDSR());
  EXPECT_FALSE(ce.sigCTS());
}

TEST_F(SerialPortLocalTest, DriverFailuresGiveEachOperationsText) {
  SerialPortLocal port = openOn("Windows NT");
  const std::vector<std::tuple<std::string, std::function<void()>, std::string>> cases = {
      {"SerRxReadyCount", [&] { port.rxReadyCount(); }, "rxReadyCount failed"},
      {"SerTxBufCount", [&] { port.txBufCount(); }, "txBufCount failed"},
      {"SerRxOverflow", [&] { port.rxOverflow(); }, "rxOverflow failed"},
      {"SerSigCD", [&] { port.sigCD(); }, "sigCD failed"},
      {"SerSigFrameErr", [&] { port.sigFrameErr(); }, "sigFrameErr failed"},
      {"SerSigOverrun", [&] { port.sigOverrun(); }, "sigOverrun failed"},
      {"SerSigBreak", [&] { port.sigBreak(); }, "sigBreak failed"},
      {"SerSigDSR", [&] { port.sigDSR(); }, "sigDSR failed"},
      {"SerSigCTS", [&] { port.sigCTS(); }, "sigCTS failed"},
      {"SerSetDTR", [&] { port.setDTR(true); }, "setDTR failed"},
      {"SerSetRTS", [&] { port.setRTS(false); }, "setRTS failed"},
      {"SerRxFlush", [&] { port.rxFlush(); }, "rxFlush failed"},
      {"SerTxFlush", [&] { port.txFlush(); }, "txFlush failed"},
      {"SerTxDrain", [&] { port.txDrain(); }, "txDrain failed"},
      {"SerSendBreak", [&] { port.sendBreak(250); }, "sendBreak failed"},
      {"SerSetTimeoutRx", [&] { port.setTimeoutRx(5); }, "setTimeoutRx failed"},
      {"SerSetTimeoutTx", [&] { port.setTimeoutTx(5); }, "setTimeoutTx failed"},
      {"SerGetData",
       [&] {
         Bytes b(4);
         port.getData(b);
       },
       "getData: failed"},
  };
  for (const auto& [entry, call, text] : cases) {
    driver->setResult(entry, -1);
    expectIOError(call, text);
  }
  // Parity error and ring have no failure text: anything but 1 is simply "no".
  driver->setResult("SerSigParityErr", -1);
  driver->setResult("SerSigRing", -1);
  EXPECT_FALSE(port.sigParityErr());
  EXPECT_FALSE(port.sigRing());
  driver->setResult("SerSigRing", 1);
  driver->setResult("SerSigDSR", 2);
  EXPECT_TRUE(port.sigRing());
  EXPECT_FALSE(port.sigDSR()) << "a query is true only for exactly 1";
  // The getters hand the driver's value through, whatever it is.
  driver->setResult("SerGetTimeoutRx", -1);
  EXPECT_EQ(port.getTimeoutRx(), -1);
  EXPECT_EQ(port.getLibVer(), 42);
}

TEST_F(SerialPortLocalTest, AClosedPortRefusesQueriesButPassesLineControlsOn) {
  SerialPortLocal port = openOn("Linux");
  port.close();
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(port.getPortNum(), -1);
  expectIOError([&] { port.sigCD(); }, "sigCD: Port not open");
  expectIOError([&] { port.sigDSR(); }, "sigDSR: Port not open");
  expectIOError([&] { port.rxReadyCount(); }, "rxReadyCount: Port not open");
  expectIOError([&] { port.getByte(); }, "getByte: Port not open");
  // No open test here: the driver is asked with the closed handle and refuses.
  driver->setResult("SerSetDTR", -1);
  expectIOError([&] { port.setDTR(true); }, "setDTR failed");
  EXPECT_EQ(driver->handles("SerSetDTR"), std::vector<int>{-1});
}

TEST_F(SerialPortLocalTest, WritesSendWhatWasAskedAndReportShortSends) {
  SerialPortLocal port = openOn("Linux");
  const Bytes frame = {0x20, 0x01, 0x21, 0x99};
  port.putData(Bytes{});
  EXPECT_EQ(driver->count("SerPutData"), 0) << "an empty array makes no driver call";
  port.putData(frame);
  port.putData(frame, 2);
  port.putData(frame, 1, 2);
  port.putByte(0x7f);
  port.putString("ok");
  EXPECT_EQ(driver->written(),
            (Bytes{0x20, 0x01, 0x21, 0x99, 0x20, 0x01, 0x01, 0x21, 0x7f, 'o', 'k'}));

  expectIOError([&] { port.putData(frame, 5); }, "putData: count out of bounds");
  expectIOError([&] { port.putData(frame, 3, 2); }, "putData3: count out of bounds");
  expectIOError([&] { port.putData(frame, -1, 2); }, "putData3: count out of bounds");
  driver->setResult("SerPutData", 1);
  expectIOError([&] { port.putData(frame); }, "PutData1: Sent only 1 of 4 bytes");
  expectIOError([&] { port.putData(frame, 3); }, "PutData2: Sent only 1 of 3 bytes");
  expectIOError([&] { port.putData(frame, 1, 3); }, "Sent only 1 of 3 bytes");
  expectIOError([&] { port.putString("abc"); }, "PutString: sent only 1 of 3 bytes");
  driver->setResult("SerPutByte", -1);
  expectIOError([&] { port.putByte(1); }, "PutByte failed");
}

TEST_F(SerialPortLocalTest, ReadsAnswerWhatIsWaitingAndFillOnlyTheirSlice) {
  SerialPortLocal port = openOn("Linux");
  EXPECT_EQ(port.getByte(), -1);
  Bytes buf(6, 0xEE);
  EXPECT_EQ(port.getData(buf), 0);
  driver->feed({1, 2, 3});
  EXPECT_EQ(port.getByte(), 1);
  // The slice gets a fresh read: past the two bytes read it is zero, outside it untouched.
  EXPECT_EQ(port.getData(buf, 2, 3), 2);
  EXPECT_EQ(buf, (Bytes{0xEE, 0xEE, 2, 3, 0, 0xEE}));
  SerInputStream in(port);
  driver->feed({4});
  EXPECT_EQ(in.read(buf, 1, 4), 1);
  EXPECT_EQ(buf, (Bytes{0xEE, 4, 0, 0, 0, 0xEE}));
  const int calls = driver->count("SerGetData");
  EXPECT_EQ(port.getData(buf, 0, 0), 0);
  EXPECT_EQ(driver->count("SerGetData"), calls) << "a count of 0 reads nothing";
  expectIOError([&] { port.getData(buf, 4, 3); }, "getData: count out of bounds");
}

TEST_F(SerialPortLocalTest, ReceiveTimeoutMakesReadsWaitForTheirBytesUpToTheTimeout) {
  SerialPortLocal port = openOn("Linux");
  port.setTimeoutRx(40);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(port.getByte(), -1);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(40));

  // Bytes that arrive during the wait end it as soon as the array can be filled.
  port.setTimeoutRx(5000);
  std::jthread feeder([&] {
    waitFor([&] { return driver->count("SerRxReadyCount") >= 3; });
    driver->feed({9, 8});
    waitFor([&] { return driver->count("SerRxReadyCount") >= 6; });
    driver->feed({7});
  });
  Bytes three(3);
  const auto t1 = std::chrono::steady_clock::now();
  EXPECT_EQ(port.getData(three), 3);
  EXPECT_LT(std::chrono::steady_clock::now() - t1, std::chrono::milliseconds(2000));
  EXPECT_EQ(three, (Bytes{9, 8, 7}));
}

TEST_F(SerialPortLocalTest, CloseResetAndDestructionCloseTheDriverPortOnce) {
  {
    SerialPortLocal port = openOn("Linux");
    SerialPortLocal moved(std::move(port));
    EXPECT_EQ(port.getPortNum(), -1);
    EXPECT_EQ(moved.getPortNum(), 2);
    moved.reset();
    EXPECT_EQ(driver->count("SerOpenPort"), 2);
    EXPECT_EQ(driver->count("SerClosePort"), 1);
    EXPECT_TRUE(moved.isOpen());
  }
  EXPECT_EQ(driver->count("SerClosePort"), 2) << "only the owner closes, once, on destruction";

  SerialPortLocal port = openOn("Linux");
  driver->setResult("SerClosePort", 4);
  expectIOError([&] { port.close(); }, "ClosePort failed");
  driver->setResult("SerClosePort", 0);
  port.close();
  port.close();
  EXPECT_EQ(driver->count("SerClosePort"), 4) << "a closed port is not closed again";
  driver->setResult("SerOpenPort", 9);
  expectIOError([&] { port.reset(); }, "reset: SerOpenPort failed: 9");
}

TEST_F(SerialPortLocalTest, FlowControlThreadRunsOnlyForHardwareHandshakeOnWindows95) {
  testing::internal::CaptureStdout();
  SerialPortLocal port = openOn("Windows 95");
  EXPECT_FALSE(port.getConfig().getHardFlow()) << "opening turns hardware flow off there";
  EXPECT_FALSE(port.hasFlowControl());
  SerialConfig hard = port.getConfig();
  hard.setHardFlow(true);
  hard.setHandshake(SerialConfig::HS_CTSRTS);
  port.configure(hard);
  EXPECT_TRUE(port.hasFlowControl());
  EXPECT_TRUE(waitFor([&] { return driver->flowPasses() >= 3; }));
  port.configure(hard);  // the old thread stops, a new one starts
  EXPECT_TRUE(port.hasFlowControl());
  port.close();
  EXPECT_FALSE(port.hasFlowControl());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "FlowControlTask created\nFlowControlTask created\n");

  SerialPortLocal linux = openOn("Linux");
  linux.configure(hard);
  EXPECT_FALSE(linux.hasFlowControl());
}

TEST(SerialPortLocalPlatform, OnlySystemsWithADriverAreServed) {
#ifdef _WIN32
  // A build has its own platform's driver only.
  EXPECT_EQ(SerialPortLocal::nativeLibraryFor("Windows NT"), "win32-comm");
  EXPECT_TRUE(SerialPortLocal::nativeLibraryFor("Windows 98").has_value());
  EXPECT_FALSE(SerialPortLocal::nativeLibraryFor("Linux").has_value());
  EXPECT_FALSE(SerialPortLocal::nativeLibraryFor("").has_value());
  SerialPortLocal::requireSupportedPlatform("Windows NT");  // returns
#else
  EXPECT_EQ(SerialPortLocal::nativeLibraryFor("Linux"), "posix-termios");
  EXPECT_TRUE(SerialPortLocal::nativeLibraryFor("FreeBSD").has_value());
  EXPECT_FALSE(SerialPortLocal::nativeLibraryFor("Windows NT").has_value());
  EXPECT_FALSE(SerialPortLocal::nativeLibraryFor("").has_value());
  SerialPortLocal::requireSupportedPlatform("Linux");  // returns
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(SerialPortLocal::requireSupportedPlatform("Plan 9"), testing::ExitedWithCode(1), "");
}

TEST(SerialStreams, NeedAnOpenPortAndSetTheirTimeouts) {
  auto driver = std::make_shared<FakeDriver>();
  SerialPortLocal closed(driver, "Linux");
  expectIOError([&] { SerInputStream in(closed); }, "Port not open");
  expectIOError([&] { SerOutputStream out(closed); }, "Port not open");

  SerialPortLocal port(SerialConfig("COM1"), driver, "Linux");
  port.setTimeoutRx(100);
  SerInputStream in(port);
  SerOutputStream out(port);
  EXPECT_EQ(port.getTimeoutRx(), 0);
  EXPECT_EQ(port.getTimeoutTx(), std::numeric_limits<int>::max());

  const Bytes data = {5, 6, 7, 8};
  out.write(0x01);
  out.write(data);
  out.write(data, 1, 2);
  out.flush();
  EXPECT_EQ(driver->written(), (Bytes{1, 5, 6, 7, 8, 6, 7}));

  driver->feed({0x10, 0x11, 0x12});
  EXPECT_EQ(in.available(), 3);
  EXPECT_EQ(in.read(), 0x10);
  Bytes buf(4, 0);
  EXPECT_EQ(in.read(buf, 1, 3), 2);
  EXPECT_EQ(buf, (Bytes{0, 0x11, 0x12, 0}));
  in.close();
  EXPECT_FALSE(port.isOpen());
}

TEST(SerialStreams, ReadIntoBytesWaitsForTheFirstByte) {
  auto driver = std::make_shared<FakeDriver>();
  SerialPortLocal port(SerialConfig("COM1"), driver, "Linux");
  SerInputStream in(port);
  std::atomic<int> got{-100};
  std::jthread reader([&] {
    Bytes buf(8);
    got = in.read(buf);
  });
  // The reader keeps polling an empty port rather than answering 0.
  EXPECT_TRUE(waitFor([&] { return driver->count("SerGetData") >= 3; }));
  EXPECT_EQ(got, -100);
  driver->feed({0x42});
  EXPECT_TRUE(waitFor([&] { return got == 1; }));
}

TEST(SerialStreams, ReadEndsWithAnErrorWhenThePortFails) {
  auto driver = std::make_shared<FakeDriver>();
  SerialPortLocal port(SerialConfig("COM1"), driver, "Linux");
  SerInputStream in(port);
  driver->setResult("SerGetData", -1);
  Bytes buf(8);
  expectIOError([&] { in.read(buf); }, "getData: failed");
}
