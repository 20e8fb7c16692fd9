#include "sim/SimSerialDriver.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "serial/SerOutPort.h"
#include "serial/port/SerialConfig.h"
#include "sim/SimTimecode.h"
#include "support/ManualClock.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kPlay = {0x20, 0x01, 0x21};
const Bytes kAck = {0x10, 0x01, 0x11};
const Bytes kTimeSense = {0x61, 0x0C, 0x03, 0x70};

struct Port {
  ManualClock clock;
  std::unique_ptr<SimSerialDriver> driver;

  explicit Port(EmulatorOptions o = {}) {
    o.clock = clock.fn();
    driver = std::make_unique<SimSerialDriver>(o);
    SerialConfig config("SIM");
    EXPECT_EQ(driver->SerOpenPort(config), 0);
    EXPECT_EQ(config.getPort(), 1);
  }
  int put(const Bytes& b) { return driver->SerPutData(0, b.data(), static_cast<int>(b.size())); }
  Bytes get() {
    std::uint8_t buf[64];
    const int n = driver->SerGetData(0, buf, sizeof buf);
    return n < 0 ? Bytes{0xEE} : Bytes(buf, buf + n);
  }
};

TEST(SimSerialDriver, OpensOnePortAndRefusesASecondOpen) {
  SimSerialDriver driver;
  SerialConfig config("sim");
  ASSERT_EQ(driver.SerOpenPort(config), 0);
  EXPECT_EQ(config.getPort(), 1);
  SerialConfig again("SIM");
  EXPECT_EQ(driver.SerOpenPort(again), 1000);
  EXPECT_EQ(driver.SerSetDTR(0, true), 0);
  EXPECT_EQ(driver.SerSetRTS(0, true), 0);
  EXPECT_EQ(driver.SerSetTimeoutRx(0, 0), 0);
  EXPECT_EQ(driver.SerSetTimeoutTx(0, 2147483647), 0);
  EXPECT_EQ(driver.SerGetTimeoutTx(0), 2147483647);
  EXPECT_EQ(driver.SerRxReadyCount(1), -1) << "only handle 0 exists";
  EXPECT_EQ(driver.SerClosePort(0), 0);
  EXPECT_EQ(driver.SerRxReadyCount(0), -1);
  EXPECT_EQ(driver.SerOpenPort(again), 0) << "a closed port opens again";
}

TEST(SimSerialDriver, RepliesAreReadableAtOnce) {
  Port p;
  EXPECT_EQ(p.put(kPlay), 3);
  EXPECT_EQ(p.driver->SerRxReadyCount(0), 3);
  EXPECT_EQ(p.get(), kAck);
  EXPECT_EQ(p.driver->SerGetByte(0), -1);
  EXPECT_EQ(p.driver->emulator().mode(), TransportMode::Play);
}

TEST(SimSerialDriver, ReplyDelayHoldsTheReplyBack) {
  EmulatorOptions o;
  o.replyDelayMs = 12;
  Port p(o);
  p.put(kTimeSense);
  p.clock.advanceMs(9);
  EXPECT_EQ(p.driver->SerRxReadyCount(0), 0) << "missed by a controller that waits 9 ms";
  p.clock.advanceMs(3);
  EXPECT_EQ(p.get().size(), 7u);
}

TEST(SimSerialDriver, SplitReplyArrivesInParts) {
  EmulatorOptions o;
  o.splitEvery = 1;
  Port p(o);
  p.put(kTimeSense);
  EXPECT_EQ(p.get(), Bytes{0x74});
  p.clock.advanceMs(1);
  EXPECT_EQ(p.get().size(), 5u);
  p.clock.advanceMs(1);
  EXPECT_EQ(p.get(), Bytes{0x78});
}

TEST(SimSerialDriver, AfterHangUpTheLastReplyIsReadThenEverythingFails) {
  EmulatorOptions o;
  o.hangupAfter = 1;
  Port p(o);
  EXPECT_EQ(p.put(kPlay), 3);
  EXPECT_EQ(p.get(), kAck);
  EXPECT_EQ(p.driver->SerGetData(0, nullptr, 0), -1);
  EXPECT_EQ(p.driver->SerRxReadyCount(0), -1);
  EXPECT_EQ(p.put(kTimeSense), 0);
  EXPECT_EQ(p.driver->SerSigDSR(0), 0);
}

TEST(SimSerialDriver, CloseLosesRepliesInFlightButKeepsTheDeckRunning) {
  Port p;
  p.put(kPlay);
  ASSERT_EQ(p.driver->SerClosePort(0), 0);
  SerialConfig config("SIM");
  ASSERT_EQ(p.driver->SerOpenPort(config), 0);
  EXPECT_EQ(p.driver->SerRxReadyCount(0), 0);
  p.clock.advanceMs(1000);
  p.put(kTimeSense);
  EXPECT_EQ(p.get(), SimTimecode::withChecksum({0x74, 0x04, 0x00, 0x01, 0x00, 0x00}));
}

TEST(SimSerialDriver, ReadWithTimeOutWaitsForTheWholeCountOrTheTimeOut) {
  Port p;
  ASSERT_EQ(p.driver->SerSetTimeoutRx(0, 50), 0);
  p.put(kPlay);
  std::uint8_t buf[8];
  // Only 3 bytes will ever come: the read returns them when the time-out ends.
  EXPECT_EQ(p.driver->SerGetData(0, buf, 8), 3);
}

TEST(SimSerialDriver, TranscriptOptionLogsTheExchange) {
  const auto path = (std::filesystem::temp_directory_path() /
                     ("orva-sim-driver-" + std::to_string(::getpid()) + ".txt"))
                        .string();
  {
    EmulatorOptions o;
    o.transcriptPath = path;
    Port p(o);
    p.put(kPlay);
    p.get();
  }
  std::ifstream in(path);
  std::string a, b;
  std::getline(in, a);
  std::getline(in, b);
  in.close();  // Windows removes no file that is still open
  std::filesystem::remove(path);
  EXPECT_EQ(a, "5000000 IN 20 01 21");
  EXPECT_EQ(b, "5000000 OUT 10 01 11");
}

TEST(SimSerialDriver, ManyThreadsAtOnceLoseNoBytes) {
  SimSerialDriver driver;
  SerialConfig config("SIM");
  ASSERT_EQ(driver.SerOpenPort(config), 0);
  std::atomic<int> received{0};
  std::atomic<bool> writersDone{false};
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&] {
      for (int i = 0; i < 500; ++i)
        driver.SerPutData(0, kPlay.data(), 3);
    });
  }
  std::thread reader([&] {
    std::uint8_t buf[64];
    while (!writersDone || driver.SerRxReadyCount(0) > 0) {
      const int n = driver.SerGetData(0, buf, sizeof buf);
      if (n > 0)
        received += n;
    }
  });
  for (auto& w : writers)
    w.join();
  writersDone = true;
  reader.join();
  // Whole frames may interleave between writers but every write is one whole frame here.
  EXPECT_EQ(received.load(), 4 * 500 * 3);
  EXPECT_EQ(driver.emulator().framesReceived(), 2000);
}

TEST(SimSerialDriver, WorksUnderTheCommandLink) {
  auto driver = std::make_shared<SimSerialDriver>();
  SerOutPort link("SIM", driver);
  ASSERT_FALSE(link.isBad());
  EXPECT_FALSE(link.getNoCOM());
  ASSERT_TRUE(link.hasOutStream());
  link.setwait(0);
  SerialReply r = link.SendSerial(kPlay);
  ASSERT_EQ(r.count, 3);
  EXPECT_EQ(Bytes(r.bytes.begin(), r.bytes.begin() + 3), kAck);
  r = link.SendSerial(Bytes{0x61, 0x20, 0x09, 0x8A});
  ASSERT_EQ(r.count, 12);
  EXPECT_EQ(r.bytes[0], 0x79);
  EXPECT_EQ(r.bytes[3], 0x01);
}

}  // namespace
