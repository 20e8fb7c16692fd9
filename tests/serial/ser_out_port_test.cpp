#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "serial/SerOutPort.h"
#include "serial/port/SerialIOError.h"
#include "serial/port/SerialPortLocal.h"
#include "serial/support/FakeDriver.h"
#include "serial/support/PtyPair.h"
#include "serial/support/PtyResponder.h"
#include "serial/support/WaitFor.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kWaitMs = 30;

Bytes head(const SerialReply& r, int n) {
  return Bytes(r.bytes.begin(), r.bytes.begin() + n);
}

bool allZero(const SerialReply& r) {
  for (auto b : r.bytes) {
    if (b != 0) {
      return false;
    }
  }
  return true;
}

// A second descriptor on the slave, for looking at its input queue and holding its lock.
class SlaveProbe {
 public:
  explicit SlaveProbe(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
  ~SlaveProbe() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  int waiting() const {
    int n = -1;
    ::ioctl(fd_, FIONREAD, &n);
    return n;
  }
  bool lock() const { return ::flock(fd_, LOCK_EX | LOCK_NB) == 0; }

 private:
  int fd_;
};

class SerOutPortPty : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty.ok()) << "no pseudo-terminals on this machine"; }

  // Opens a link on the pty, swallowing the DTR/RTS lines a pty always prints.
  std::unique_ptr<SerOutPort> open() {
    testing::internal::CaptureStdout();
    auto link = std::make_unique<SerOutPort>(pty.slavePath());
    testing::internal::GetCapturedStdout();
    link->setwait(kWaitMs);
    return link;
  }

  PtyPair pty;
};

}  // namespace

TEST_F(SerOutPortPty, OpensAtTheDeckSettingsAndReportsThatAPtyHasNoModemLines) {
  testing::internal::CaptureStdout();
  SerOutPort link(pty.slavePath());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "Unable to set DTR\nUnable to set RTS\n");
  EXPECT_FALSE(link.isBad());
  EXPECT_TRUE(link.getNoCOM());
  EXPECT_TRUE(link.hasPort());
  EXPECT_TRUE(link.hasOutStream());
  EXPECT_EQ(link.getwait(), 20);
  EXPECT_EQ(link.getPortName(), pty.slavePath());
}

TEST_F(SerOutPortPty, AReplyOnTimeComesBackWithItsCount) {
  auto link = open();
  std::vector<Bytes> seen;
  std::mutex seenMu;
  PtyResponder deck(pty, [&](const Bytes& cmd) {
    std::lock_guard lock(seenMu);
    seen.push_back(cmd);
    return Bytes{0x74, 0x04, 0x01, 0x02, 0x03, 0x04, 0x82};
  });
  const Bytes timeSense = {0x61, 0x0C, 0x03, 0x70};
  const SerialReply r = link->SendSerial(timeSense);
  EXPECT_EQ(r.count, 7);
  EXPECT_EQ(head(r, 7), (Bytes{0x74, 0x04, 0x01, 0x02, 0x03, 0x04, 0x82}));
  EXPECT_EQ(head(r, 16), Bytes(r.bytes.begin(), r.bytes.end()));
  EXPECT_EQ(r.bytes[7], 0);
  EXPECT_EQ(link->SerCount(), 7);
  EXPECT_EQ(link->getSerError(), 0);
  std::lock_guard lock(seenMu);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], timeSense);
}

TEST_F(SerOutPortPty, NoReplyGivesSixteenZerosAndCountZero) {
  auto link = open();
  const auto t0 = Clock::now();
  const SerialReply r = link->SendSerial(Bytes{0x20, 0x00, 0x20});
  EXPECT_GE(Clock::now() - t0, milliseconds(kWaitMs));
  EXPECT_TRUE(allZero(r));
  EXPECT_EQ(r.count, 0);
  EXPECT_EQ(link->SerCount(), 0);
  EXPECT_EQ(pty.read(3), (Bytes{0x20, 0x00, 0x20}));
}

TEST_F(SerOutPortPty, ALongReplyLeavesOnlyItsLastChunkAtTheStart) {
  auto link = open();
  Bytes twenty;
  for (int i = 1; i <= 20; ++i) {
    twenty.push_back(static_cast<std::uint8_t>(i));
  }
  PtyResponder deck(pty, [&](const Bytes&) { return twenty; });
  const SerialReply r = link->SendSerial(Bytes{0x61, 0x20, 0x05, 0x86});
  EXPECT_EQ(r.count, 4);
  // Bytes 17..20 at the start; each read is a fresh one, so no rest of the first chunk remains.
  EXPECT_EQ(Bytes(r.bytes.begin(), r.bytes.end()),
            (Bytes{17, 18, 19, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(link->SerCount(), 4);
}

TEST_F(SerOutPortPty, ALateReplyLandsInFrontOfTheNextOne) {
  auto link = open();
  std::atomic<bool> firstReturned{false};
  std::atomic<bool> lateWritten{false};
  std::atomic<int> n{0};
  PtyResponder deck(pty, [&](const Bytes&) -> Bytes {
    if (n++ == 0) {
      // Answer the first command only after its exchange is over.
      waitFor([&] { return firstReturned.load(); });
      pty.write({0xA1, 0xA2, 0xA3});
      lateWritten = true;
      return {};
    }
    return {0xB1, 0xB2};
  });
  const SerialReply first = link->SendSerial(Bytes{0x01});
  firstReturned = true;
  EXPECT_EQ(first.count, 0);
  EXPECT_TRUE(allZero(first));
  ASSERT_TRUE(waitFor([&] { return lateWritten.load(); }));
  const SerialReply second = link->SendSerial(Bytes{0x02});
  EXPECT_EQ(second.count, 5);
  EXPECT_EQ(head(second, 5), (Bytes{0xA1, 0xA2, 0xA3, 0xB1, 0xB2}));
}

TEST_F(SerOutPortPty, AWaitOfZeroReadsRightAfterWriting) {
  auto link = open();
  SlaveProbe probe(pty.slavePath());
  pty.write({0x10, 0x01, 0x11});
  ASSERT_TRUE(waitFor([&] { return probe.waiting() == 3; }));
  link->setwait(0);
  const auto t0 = Clock::now();
  const SerialReply r = link->SendSerial(Bytes{0x20, 0x01, 0x21});
  EXPECT_LT(Clock::now() - t0, milliseconds(kWaitMs));
  EXPECT_EQ(r.count, 3);
  EXPECT_EQ(head(r, 3), (Bytes{0x10, 0x01, 0x11}));
}

TEST_F(SerOutPortPty, APortInUseLeavesTheLinkBadButUsable) {
  SlaveProbe holder(pty.slavePath());
  ASSERT_TRUE(holder.lock());
  SerialConfig c(pty.slavePath());
  try {
    SerialPortLocal port(c, nullptr);
    ADD_FAILURE() << "a locked port opened";
  } catch (const SerialIOError& e) {
    EXPECT_EQ(std::string(e.what()), "SerOpenPort failed: Port is in use");
  }

  testing::internal::CaptureStdout();
  SerOutPort link(pty.slavePath());
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            " \nSerial Port " + pty.slavePath() + " not available\n");
  EXPECT_TRUE(link.isBad());
  EXPECT_TRUE(link.getNoCOM());
  EXPECT_FALSE(link.hasPort());
  EXPECT_FALSE(link.hasOutStream());

  testing::internal::CaptureStdout();
  const SerialReply r = link.SendSerial(Bytes{0x20, 0x00, 0x20});
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unable to write to Serial Port\n");
  EXPECT_TRUE(allZero(r));
  EXPECT_EQ(r.count, 0);
  EXPECT_EQ(link.getSerError(), 1);
  EXPECT_EQ(link.ReadSer().count, 0);
}

TEST(SerOutPortMissing, AnUnknownPortNamesItselfAsNotAvailable) {
  const std::string name = access("/dev/ttyS8", F_OK) == 0 ? "/dev/orva-no-such-port" : "COM9";
  testing::internal::CaptureStdout();
  SerOutPort link(name);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " \nSerial Port " + name + " not available\n");
  EXPECT_TRUE(link.isBad());
}

TEST_F(SerOutPortPty, AVanishedPeerGivesZeroRepliesQuickly) {
  auto link = open();
  {
    PtyResponder deck(pty, [](const Bytes&) { return Bytes{0x10, 0x01, 0x11}; });
    EXPECT_EQ(link->SendSerial(Bytes{0x20, 0x01, 0x21}).count, 3);
  }
  pty.closeMaster();
  testing::internal::CaptureStdout();
  const auto t0 = Clock::now();
  for (int i = 0; i < 3; ++i) {
    const SerialReply r = link->SendSerial(Bytes{0x61, 0x0C, 0x03, 0x70});
    EXPECT_TRUE(allZero(r));
    EXPECT_EQ(r.count, 0);
  }
  EXPECT_LT(Clock::now() - t0, milliseconds(3 * kWaitMs + 300));
  EXPECT_EQ(link->getSerError(), 1);
  const SerialReply late = link->ReadSer();
  EXPECT_EQ(late.count, 0);
  EXPECT_EQ(link->getSerError(), 2) << "the failed read is noted";
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Unable to write to Serial Port\n"), std::string::npos);
}

TEST_F(SerOutPortPty, ConcurrentExchangesNeverInterleave) {
  auto link = open();
  link->setwait(20);
  // The deck echoes each command's identity, so a caller seeing another's reply shows up.
  PtyResponder deck(pty, [](const Bytes& cmd) {
    Bytes reply(cmd.size() + 1, 0x7F);
    std::copy(cmd.begin(), cmd.end(), reply.begin() + 1);
    return reply;
  });
  constexpr int kThreads = 4;
  constexpr int kEach = 12;
  std::atomic<int> wrong{0};
  std::atomic<int> good{0};
  {
    std::vector<std::jthread> senders;
    for (int t = 0; t < kThreads; ++t) {
      senders.emplace_back([&, t] {
        for (int i = 0; i < kEach; ++i) {
          const Bytes cmd = {0x20, static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(i)};
          const SerialReply r = link->SendSerial(cmd);
          if (r.count == 4 && head(r, 4) == Bytes{0x7F, cmd[0], cmd[1], cmd[2]}) {
            ++good;
          } else {
            ++wrong;
          }
        }
      });
    }
  }
  // A loaded machine may let a reply slip past its wait; the next exchange then sees it in front
  // of its own. What must never happen is a reply of one caller's command reaching another.
  EXPECT_GE(good, kThreads * kEach / 2);
  EXPECT_EQ(wrong + good, kThreads * kEach);
}

TEST(SerOutPortFake, AFailedWriteKeepsTheCountOfThePreviousReply) {
  auto driver = std::make_shared<FakeDriver>();
  SerOutPort link("COM1", driver);
  EXPECT_FALSE(link.getNoCOM());
  link.setwait(0);
  driver->feed({1, 2, 3});
  EXPECT_EQ(link.SendSerial(Bytes{9}).count, 3);
  EXPECT_EQ(driver->written(), Bytes{9});

  driver->setResult("SerPutData", 0);
  driver->feed({4, 5});
  testing::internal::CaptureStdout();
  const SerialReply r = link.SendSerial(Bytes{9, 9});
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unable to write to Serial Port\n");
  EXPECT_TRUE(allZero(r));
  EXPECT_EQ(r.count, 0);
  EXPECT_EQ(link.SerCount(), 3);
  EXPECT_EQ(link.getSerError(), 1);
  EXPECT_FALSE(link.SendSer(Bytes{1}));
  EXPECT_EQ(link.ReadSer().count, 2) << "the unread bytes are still there";
}

TEST(SerOutPortFake, ReadErrorKeepsWhatWasReadAndOpeningStepsReportThemselves) {
  auto driver = std::make_shared<FakeDriver>();
  driver->setResult("SerSetTimeoutTx", -1);
  testing::internal::CaptureStdout();
  SerOutPort link("COM1", driver);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unable to make OutputStream\n");
  EXPECT_FALSE(link.isBad());
  EXPECT_TRUE(link.hasPort());
  EXPECT_FALSE(link.hasOutStream());
  EXPECT_TRUE(link.getNoCOM());

  auto d2 = std::make_shared<FakeDriver>();
  SerOutPort ok("COM1", d2);
  ok.setwait(0);
  d2->feed({7, 7, 7});
  d2->setResult("SerGetData", -1);
  const SerialReply r = ok.SendSerial(Bytes{1});
  EXPECT_EQ(r.count, 0);
  EXPECT_EQ(ok.getSerError(), 2);
}

TEST(SerOutPortFake, AFloodingPeerDoesNotHoldTheLink) {
  auto driver = std::make_shared<FakeDriver>();
  SerOutPort link("COM1", driver);
  link.setwait(0);
  driver->setResult("SerRxReadyCount", 100);  // always more waiting
  driver->feed(Bytes(8000, 0x55));
  const SerialReply r = link.SendSerial(Bytes{1});
  EXPECT_EQ(r.count, 16);
  EXPECT_EQ(driver->count("SerGetData"), SerOutPort::rxBuf / 16);
}

TEST(SerOutPortFake, ARunOfFailedWritesIsReportedOnceUntilAWriteWorksAgain) {
  auto driver = std::make_shared<FakeDriver>();
  SerOutPort link("COM1", driver);
  link.setwait(0);
  driver->setResult("SerPutData", 0);
  testing::internal::CaptureStdout();
  for (int i = 0; i < 5; ++i) {
    EXPECT_FALSE(link.SendSer(Bytes{9, 9}));
  }
  driver->setResult("SerPutData", 2);
  EXPECT_TRUE(link.SendSer(Bytes{9, 9}));
  driver->setResult("SerPutData", 0);
  EXPECT_FALSE(link.SendSer(Bytes{9, 9}));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Unable to write to Serial Port\nUnable to write to Serial Port\n");
  EXPECT_EQ(link.getSerError(), 1);
}

TEST(SerOutPortFake, ALostPortIsClosedAfterASecondAndReopenedEverySecondWithItsSettings) {
  auto driver = std::make_shared<FakeDriver>();
  SerOutPort link("COM1", driver);
  link.setwait(0);
  const Bytes poll{0x61, 0x0C, 0x03};
  auto pollUntil = [&](const std::function<bool()>& done) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!done() && Clock::now() < deadline) {
      link.SendSerial(poll);
      std::this_thread::sleep_for(milliseconds(20));
    }
    return done();
  };
  // Nothing changes while the port works, also when the deck does not answer.
  for (int i = 0; i < 3; ++i) {
    link.SendSerial(poll);
  }
  EXPECT_EQ(driver->count("SerClosePort"), 0);

  testing::internal::CaptureStdout();
  driver->setResult("SerPutData", -1);  // the adapter is pulled
  driver->setResult("SerOpenPort", -1);
  const auto t0 = Clock::now();
  ASSERT_TRUE(pollUntil([&] { return link.isLost(); }));
  EXPECT_GE(Clock::now() - t0, SerOutPort::kLostAfter);
  EXPECT_EQ(driver->count("SerClosePort"), 1);
  EXPECT_FALSE(link.hasOutStream());
  EXPECT_TRUE(link.hasPort()) << "polling and cues go on trying";
  ASSERT_TRUE(pollUntil([&] { return driver->count("SerOpenPort") >= 3; }));  // 1 + 2 retries
  EXPECT_TRUE(link.isLost());

  driver->clearResult("SerOpenPort");  // it is back
  driver->clearResult("SerPutData");
  ASSERT_TRUE(pollUntil([&] { return !link.isLost(); }));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Unable to write to Serial Port\n"
            "Serial Port COM1 lost; trying to open it again every second\n"
            "Serial Port COM1 Opened OK\n");
  EXPECT_EQ(driver->count("SerConfigure"), 2);
  EXPECT_EQ(driver->count("SerSetDTR"), 2);
  EXPECT_EQ(driver->count("SerSetRTS"), 2);
  driver->feed({0x74, 0x04});
  EXPECT_EQ(link.SendSerial(poll).count, 2);
  EXPECT_TRUE(link.hasOutStream());
}
