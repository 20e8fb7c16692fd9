#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "serial/port/PosixSerialDriver.h"
#include "serial/port/SerialConfig.h"
#include "serial/support/PtyPair.h"
#include "serial/support/PtyResponder.h"
#include "serial/support/WaitFor.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

SerialConfig deckConfig(const std::string& name) {
  SerialConfig c(name);
  c.setBitRate(SerialConfig::BR_38400);
  c.setParity(SerialConfig::PY_ODD);
  c.setDataBits(SerialConfig::LN_8BITS);
  c.setStopBits(SerialConfig::ST_1BITS);
  c.setHandshake(SerialConfig::HS_NONE);
  c.setHardFlow(false);
  return c;
}

termios settingsOf(const std::string& path) {
  termios t{};
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd >= 0) {
    ::tcgetattr(fd, &t);
    ::close(fd);
  }
  return t;
}

// System calls with faults switched on by the test.
class FaultyCalls : public PosixCalls {
 public:
  int openErrno = 0;
  int flockErrno = 0;
  int readErrno = 0;
  bool trickleWrites = false;  // one byte per write, EAGAIN every other call
  bool writeStuck = false;     // EAGAIN always, and poll never sees room
  int closes = 0;

  int open(const char* path, int flags) override {
    if (openErrno != 0) {
      errno = openErrno;
      return -1;
    }
    return PosixCalls::open(path, flags);
  }
  int close(int fd) override {
    ++closes;
    return PosixCalls::close(fd);
  }
  int flock(int fd, int op) override {
    if (flockErrno != 0 && (op & LOCK_EX) != 0) {
      errno = flockErrno;
      return -1;
    }
    return PosixCalls::flock(fd, op);
  }
  ssize_t read(int fd, void* buf, size_t n) override {
    if (readErrno != 0) {
      errno = readErrno;
      return -1;
    }
    return PosixCalls::read(fd, buf, n);
  }
  ssize_t write(int fd, const void* buf, size_t n) override {
    ++writes;
    if (writeStuck || (trickleWrites && writes % 2 == 0)) {
      errno = EAGAIN;
      return -1;
    }
    return PosixCalls::write(fd, buf, trickleWrites ? 1 : n);
  }
  int tcsetattr(int fd, int action, const termios* t) override {
    lastSet = *t;
    return PosixCalls::tcsetattr(fd, action, t);
  }
  int poll(pollfd* fds, nfds_t count, int timeoutMs) override {
    if (writeStuck && (fds[0].events & POLLOUT) != 0) {
      ++stuckPolls;
      return 0;
    }
    return PosixCalls::poll(fds, count, timeoutMs);
  }
  int writes = 0;
  int stuckPolls = 0;
  termios lastSet{};
};

class PosixDriverTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty.ok()) << "no pseudo-terminals on this machine"; }

  // Opens and configures the pty's slave; answers the handle.
  int openSlave(PosixSerialDriver& d) {
    SerialConfig c = deckConfig(pty.slavePath());
    EXPECT_EQ(d.SerOpenPort(c), 0);
    EXPECT_EQ(d.SerConfigure(c), 0);
    return c.getPort() - 1;
  }

  PtyPair pty;
};

}  // namespace

TEST(PosixDriverNames, PathsAsGivenComPortsAndNumberedPortsMapToTtyS) {
  EXPECT_EQ(PosixSerialDriver::deviceName(SerialConfig("COM1")), "/dev/ttyS0");
  EXPECT_EQ(PosixSerialDriver::deviceName(SerialConfig("com12")), "/dev/ttyS11");
  EXPECT_EQ(PosixSerialDriver::deviceName(SerialConfig("/dev/pts/5")), "/dev/pts/5");
  EXPECT_EQ(PosixSerialDriver::deviceName(SerialConfig("COMX")), "COMX");
  EXPECT_EQ(PosixSerialDriver::deviceName(SerialConfig(3)), "/dev/ttyS2");
  EXPECT_EQ(PosixSerialDriver::deviceName(SerialConfig(0)), "");
  EXPECT_EQ(PosixSerialDriver::deviceName(SerialConfig("")), "");
}

TEST_F(PosixDriverTest, ConfiguresRawDeckLineSettingsAndRestoresThemAtClose) {
  // A pseudo-terminal forces 8 bits and no parity whatever it is told, so the settings are
  // checked as the driver hands them to the system.
  const termios before = settingsOf(pty.slavePath());
  auto calls = std::make_shared<FaultyCalls>();
  PosixSerialDriver d(calls);
  const int h = openSlave(d);
  EXPECT_EQ(h, 0);
  const termios t = calls->lastSet;
  EXPECT_EQ(cfgetospeed(&t), B38400);
  EXPECT_EQ(cfgetispeed(&t), B38400);
  EXPECT_EQ(t.c_cflag & (PARENB | PARODD), static_cast<tcflag_t>(PARENB | PARODD));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  // The device took the raw mode.
  EXPECT_EQ(settingsOf(pty.slavePath()).c_lflag & (ICANON | ECHO), 0u);

  SerialConfig even = deckConfig(pty.slavePath());
  even.setPortNum(h + 1);
  even.setParity(SerialConfig::PY_EVEN);
  even.setStopBits(SerialConfig::ST_2BITS);
  even.setDataBits(SerialConfig::LN_7BITS);
  even.setHandshake(SerialConfig::HS_XONXOFF);
  even.setBitRate(SerialConfig::BR_9600);
  ASSERT_EQ(d.SerConfigure(even), 0);
  const termios e = calls->lastSet;
  EXPECT_EQ(cfgetispeed(&e), B9600);
  EXPECT_EQ(e.c_cflag & (PARENB | PARODD | CSTOPB), static_cast<tcflag_t>(PARENB | CSTOPB));
  EXPECT_EQ(e.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
  EXPECT_EQ(e.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
  even.setHandshake(SerialConfig::HS_CTSRTS);
  ASSERT_EQ(d.SerConfigure(even), 0);
  EXPECT_EQ(calls->lastSet.c_cflag & CRTSCTS, static_cast<tcflag_t>(CRTSCTS));
  EXPECT_EQ(calls->lastSet.c_iflag & (IXON | IXOFF), 0u);

  EXPECT_EQ(d.SerClosePort(h), 0);
  const termios after = settingsOf(pty.slavePath());
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(d.SerClosePort(h), -1) << "a closed handle is unknown";
}

TEST_F(PosixDriverTest, OpenCodesForOpenInUseMissingAndNonTerminalDevices) {
  PosixSerialDriver d;
  openSlave(d);
  SerialConfig again = deckConfig(pty.slavePath());
  EXPECT_EQ(d.SerOpenPort(again), PosixSerialDriver::kAlreadyOpen);

  PosixSerialDriver other;
  SerialConfig theirs = deckConfig(pty.slavePath());
  EXPECT_EQ(other.SerOpenPort(theirs), PosixSerialDriver::kInUse);

  SerialConfig missing("/dev/orva-no-such-port");
  EXPECT_EQ(d.SerOpenPort(missing), PosixSerialDriver::kNotValid);
  SerialConfig nothing("");
  EXPECT_EQ(d.SerOpenPort(nothing), PosixSerialDriver::kNotValid);
  SerialConfig notATerminal("/dev/null");
  EXPECT_EQ(d.SerOpenPort(notATerminal), PosixSerialDriver::kNotValid);

  auto calls = std::make_shared<FaultyCalls>();
  PosixSerialDriver faulty(calls);
  PtyPair second;
  SerialConfig denied = deckConfig(second.slavePath());
  calls->openErrno = EACCES;
  EXPECT_EQ(faulty.SerOpenPort(denied), EACCES);
  calls->openErrno = 0;
  calls->flockErrno = EWOULDBLOCK;
  EXPECT_EQ(faulty.SerOpenPort(denied), PosixSerialDriver::kInUse);
  EXPECT_EQ(calls->closes, 1) << "a refused port is not left open";
}

TEST_F(PosixDriverTest, DestroyingTheDriverReleasesItsPorts) {
  {
    PosixSerialDriver d;
    openSlave(d);
  }
  PosixSerialDriver next;
  SerialConfig c = deckConfig(pty.slavePath());
  EXPECT_EQ(next.SerOpenPort(c), 0);
}

TEST_F(PosixDriverTest, HandlesAreTableSlotsReusedAfterClose) {
  PtyPair second;
  PosixSerialDriver d;
  const int a = openSlave(d);
  SerialConfig c2 = deckConfig(second.slavePath());
  ASSERT_EQ(d.SerOpenPort(c2), 0);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(c2.getPort(), 2);
  EXPECT_EQ(d.SerClosePort(a), 0);
  SerialConfig c1 = deckConfig(pty.slavePath());
  ASSERT_EQ(d.SerOpenPort(c1), 0);
  EXPECT_EQ(c1.getPort(), 1);
}

TEST_F(PosixDriverTest, BytesTravelBothWays) {
  PosixSerialDriver d;
  const int h = openSlave(d);
  Bytes buf(16, 0);
  EXPECT_EQ(d.SerGetData(h, buf.data(), 16), 0) << "nothing waiting answers 0 at once";
  EXPECT_EQ(d.SerGetByte(h), -1);
  EXPECT_EQ(d.SerRxReadyCount(h), 0);

  const Bytes frame = {0x61, 0x0C, 0x03, 0x70};
  EXPECT_EQ(d.SerPutData(h, frame.data(), 4), 4);
  EXPECT_EQ(d.SerPutByte(h, 0xFF), 0);
  EXPECT_EQ(pty.read(5), (Bytes{0x61, 0x0C, 0x03, 0x70, 0xFF}));

  pty.write({0x74, 0x04, 0x10, 0x20, 0x30, 0x01, 0xD9});
  ASSERT_TRUE(waitFor([&] { return d.SerRxReadyCount(h) == 7; }));
  EXPECT_EQ(d.SerGetByte(h), 0x74);
  EXPECT_EQ(d.SerGetData(h, buf.data(), 4), 4);
  EXPECT_EQ(d.SerGetData(h, buf.data() + 4, 16), 2);
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 6), (Bytes{0x04, 0x10, 0x20, 0x30, 0x01, 0xD9}));
  EXPECT_GE(d.SerTxBufCount(h), 0);
  EXPECT_EQ(d.SerRxFlush(h), 0);
  EXPECT_EQ(d.SerTxFlush(h), 0);
  EXPECT_EQ(d.SerTxDrain(h), 0);
  EXPECT_EQ(d.SerGetLibVer(), PosixSerialDriver::kLibVersion);
}

TEST_F(PosixDriverTest, PseudoTerminalsRefuseModemLinesAndUnknownHandlesFail) {
  PosixSerialDriver d;
  const int h = openSlave(d);
  EXPECT_EQ(d.SerSetDTR(h, true), -1);
  EXPECT_EQ(d.SerSetRTS(h, true), -1);
  EXPECT_EQ(d.SerSigDSR(h), -1);
  EXPECT_EQ(d.SerSigBreak(h), -1);
  const int bad = 57;
  Bytes buf(4);
  EXPECT_EQ(d.SerPutData(bad, buf.data(), 4), -1);
  EXPECT_EQ(d.SerGetData(bad, buf.data(), 4), -1);
  EXPECT_EQ(d.SerGetByte(bad), -1);
  EXPECT_EQ(d.SerRxReadyCount(bad), -1);
  EXPECT_EQ(d.SerTxBufCount(bad), -1);
  EXPECT_EQ(d.SerSetTimeoutRx(bad, 5), -1);
  EXPECT_EQ(d.SerGetTimeoutTx(bad), -1);
  EXPECT_EQ(d.SerFlowTask(bad), -1);
  EXPECT_EQ(d.SerTxDrain(bad), -1);
}

TEST_F(PosixDriverTest, ReceiveTimeoutWaitsForDataThenAnswersWhatCame) {
  PosixSerialDriver d;
  const int h = openSlave(d);
  ASSERT_EQ(d.SerSetTimeoutRx(h, 60), 0);
  EXPECT_EQ(d.SerGetTimeoutRx(h), 60);
  Bytes buf(8);
  auto t0 = Clock::now();
  EXPECT_EQ(d.SerGetData(h, buf.data(), 8), 0);
  EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(55));

  ASSERT_EQ(d.SerSetTimeoutRx(h, 5000), 0);
  std::jthread late([&] { pty.write({0xAB}); });
  t0 = Clock::now();
  EXPECT_EQ(d.SerGetData(h, buf.data(), 8), 1);
  EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(3000));
  EXPECT_EQ(buf[0], 0xAB);
}

TEST_F(PosixDriverTest, AVanishedPeerMakesEveryCallFailAtOnce) {
  PosixSerialDriver d;
  const int h = openSlave(d);
  ASSERT_EQ(d.SerSetTimeoutRx(h, 2000), 0);
  pty.closeMaster();
  const auto t0 = Clock::now();
  Bytes buf(16);
  EXPECT_EQ(d.SerGetData(h, buf.data(), 16), -1);
  EXPECT_EQ(d.SerGetByte(h), -1);
  EXPECT_EQ(d.SerRxReadyCount(h), -1);
  EXPECT_LE(d.SerPutData(h, buf.data(), 16), 0);
  EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(200));
  EXPECT_EQ(d.SerClosePort(h), 0) << "a vanished port still closes";
}

TEST_F(PosixDriverTest, ShortWritesAndBusyLinesAreRetriedUntilAllIsSent) {
  auto calls = std::make_shared<FaultyCalls>();
  PosixSerialDriver d(calls);
  const int h = openSlave(d);
  calls->trickleWrites = true;
  const Bytes frame = {0x20, 0x60, 0x80, 0x11, 0x22, 0x33};
  EXPECT_EQ(d.SerPutData(h, frame.data(), 6), 6);
  EXPECT_GE(calls->writes, 11);
  EXPECT_EQ(pty.read(6), frame);
}

TEST_F(PosixDriverTest, AStuckLineGivesUpWithAShortCount) {
  auto calls = std::make_shared<FaultyCalls>();
  PosixSerialDriver d(calls);
  const int h = openSlave(d);
  calls->writeStuck = true;
  const Bytes frame = {1, 2, 3};
  EXPECT_EQ(d.SerPutData(h, frame.data(), 3), 0);
  EXPECT_EQ(calls->stuckPolls, 1);
  // With no transmit time-out the driver does not wait for room at all.
  ASSERT_EQ(d.SerSetTimeoutTx(h, 0), 0);
  EXPECT_EQ(d.SerPutData(h, frame.data(), 3), 0);
  EXPECT_EQ(calls->stuckPolls, 1);
}

TEST_F(PosixDriverTest, ReadErrorsOtherThanAnEmptyQueueFail) {
  auto calls = std::make_shared<FaultyCalls>();
  PosixSerialDriver d(calls);
  const int h = openSlave(d);
  Bytes buf(4);
  calls->readErrno = EAGAIN;
  EXPECT_EQ(d.SerGetData(h, buf.data(), 4), 0);
  calls->readErrno = EIO;
  EXPECT_EQ(d.SerGetData(h, buf.data(), 4), -1);
}
