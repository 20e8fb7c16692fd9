// Runs the built orva-decksim program and talks to it over its pseudo-terminal through the
// command link, as the controller does.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "serial/SerOutPort.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

const std::string kProgram = ORVA_BINARY_DIR "/sim/orva-decksim";
const Bytes kPlay = {0x20, 0x01, 0x21};
const Bytes kTimeSense = {0x61, 0x0C, 0x03, 0x70};

std::int64_t steadyMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
      .count();
}

int frameCount(const SerialReply& r) {
  // Frames and hours carry flag bits above their tens digit; minutes and seconds do not.
  auto bcd = [](std::uint8_t b, int tensMask) { return (b >> 4 & tensMask) * 10 + (b & 0x0F); };
  return bcd(r.bytes[5], 0x3) * 108000 + bcd(r.bytes[4], 0x7) * 1800 + bcd(r.bytes[3], 0x7) * 30 +
         bcd(r.bytes[2], 0x3);
}

bool isTime(const SerialReply& r) {
  return r.count == 7 && r.bytes[0] == 0x74;
}

// One exchange that waits for the whole reply. The link reads once, 9 ms after the command, as
// the controller does; a loaded machine may not have run the emulator by then, so whatever is
// still missing is read until it is all there or two seconds have passed.
SerialReply exchange(SerOutPort& link, const Bytes& command, int replyLength) {
  SerialReply reply = link.SendSerial(command);
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  while (reply.count >= 0 && reply.count < replyLength && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const SerialReply more = link.ReadSer();
    for (int i = 0; i < more.count && reply.count < static_cast<int>(reply.bytes.size()); ++i)
      reply.bytes[static_cast<std::size_t>(reply.count++)] =
          more.bytes[static_cast<std::size_t>(i)];
  }
  return reply;
}

// One running orva-decksim; killed and reaped when the test ends.
class DeckSim {
 public:
  // stderrFd: where the program's standard error goes (default: this process's).
  explicit DeckSim(std::vector<std::string> args, int stderrFd = -1) {
    int out[2];
    if (pipe(out) != 0)
      return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      if (stderrFd >= 0)
        dup2(stderrFd, STDERR_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv{const_cast<char*>(kProgram.c_str())};
      for (auto& a : args)
        argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(kProgram.c_str(), argv.data());
      _exit(127);
    }
    close(out[1]);
    // The first line of its output is the slave path.
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    char c = 0;
    while (Clock::now() < deadline) {
      pollfd p{out[0], POLLIN, 0};
      if (poll(&p, 1, 100) <= 0)
        continue;
      if (read(out[0], &c, 1) != 1 || c == '\n')
        break;
      path_ += c;
    }
    close(out[0]);
  }
  ~DeckSim() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& path() const { return path_; }
  // Waits for the program to end by itself; its exit status, or -1 on time-out.
  int waitExit(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
  }
  int terminate() {
    kill(pid_, SIGTERM);
    return waitExit(std::chrono::seconds(5));
  }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  std::string path_;
};

std::string tempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          (name + "-" + std::to_string(::getpid()) + ".txt"))
      .string();
}

class DeckSimPty : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kProgram)) {
      GTEST_SKIP() << kProgram << " is not built; build the orva-decksim target first";
    }
  }
};

TEST_F(DeckSimPty, PlayedTimecodeAdvancesThirtyFramesASecond) {
  const std::string transcript = tempPath("orva-decksim-play");
  DeckSim sim({"--start", "00:59:50:00", "--transcript", transcript});
  ASSERT_FALSE(sim.path().empty());
  std::int64_t sentPlayAt = 0, ackedPlayAt = 0;
  {
    SerOutPort link(sim.path());
    ASSERT_FALSE(link.isBad());
    link.setwait(9);
    sentPlayAt = steadyMicros();
    const SerialReply ack = exchange(link, kPlay, 3);
    ackedPlayAt = steadyMicros();
    ASSERT_EQ(ack.count, 3);
    EXPECT_EQ(Bytes(ack.bytes.begin(), ack.bytes.begin() + 3), (Bytes{0x10, 0x01, 0x11}));

    // Poll the timecode for a second, as the polling thread does, and compare the frames
    // gained with the time passed. Each sample is stamped in the middle of its exchange; the
    // deck answers within a millisecond, so a sample's stamp is off by under half a frame, and
    // the frame count floors: 2 frames of slack over the second.
    int first = -1, last = -1, samples = 0, previous = -1;
    Clock::time_point firstAt, lastAt;
    const auto until = Clock::now() + std::chrono::seconds(1);
    while (Clock::now() < until) {
      const auto before = Clock::now();
      const SerialReply r = link.SendSerial(kTimeSense);
      const auto at = before + (Clock::now() - before) / 2;
      if (!isTime(r))
        continue;
      const int f = frameCount(r);
      EXPECT_GE(f, previous) << "timecode never runs backwards in play";
      previous = f;
      if (first < 0) {
        first = f;
        firstAt = at;
      }
      last = f;
      lastAt = at;
      ++samples;
    }
    ASSERT_GT(samples, 10);
    const double seconds = std::chrono::duration<double>(lastAt - firstAt).count();
    EXPECT_NEAR(last - first, seconds * 30.0, 2.0) << "over " << seconds << " s";
    EXPECT_GE(first, 107700);
  }
  EXPECT_EQ(sim.terminate(), 0);

  // The transcript stamps share the steady clock of this process.
  std::ifstream in(transcript);
  std::string line;
  std::getline(in, line);
  std::filesystem::remove(transcript);
  const auto blank = line.find(' ');
  ASSERT_NE(blank, std::string::npos) << line;
  EXPECT_EQ(line.substr(blank), " IN 20 01 21");
  const std::int64_t stamp = std::stoll(line.substr(0, blank));
  EXPECT_GE(stamp, sentPlayAt);
  EXPECT_LE(stamp, ackedPlayAt);
}

TEST_F(DeckSimPty, ControllerMayCloseAndReopenThePort) {
  DeckSim sim({});
  ASSERT_FALSE(sim.path().empty());
  for (int round = 0; round < 2; ++round) {
    SerOutPort link(sim.path());
    ASSERT_FALSE(link.isBad()) << "round " << round;
    link.setwait(9);
    EXPECT_TRUE(isTime(exchange(link, kTimeSense, 7))) << "round " << round;
  }
  EXPECT_EQ(sim.terminate(), 0);
}

TEST_F(DeckSimPty, HangsUpAfterTheConfiguredFramesAndExits) {
  DeckSim sim({"--hangup-after", "2"});
  ASSERT_FALSE(sim.path().empty());
  SerOutPort link(sim.path());
  ASSERT_FALSE(link.isBad());
  link.setwait(9);
  EXPECT_TRUE(isTime(exchange(link, kTimeSense, 7)));
  EXPECT_TRUE(isTime(exchange(link, kTimeSense, 7)));
  EXPECT_EQ(sim.waitExit(std::chrono::seconds(5)), 0);
  EXPECT_FALSE(isTime(link.SendSerial(kTimeSense)));
}

// A terminal for the program's standard error: the master side is read here.
class StderrTerminal {
 public:
  StderrTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
      slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
  }
  ~StderrTerminal() {
    if (slave_ >= 0)
      close(slave_);
    if (master_ >= 0)
      close(master_);
  }
  int slave() const { return slave_; }
  // Reads what has been written until it contains what, or the time is up.
  std::string readUntil(const std::string& what, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (text_.find(what) == std::string::npos && Clock::now() < deadline) {
      pollfd p{master_, POLLIN, 0};
      char buf[256];
      if (poll(&p, 1, 50) > 0) {
        const ssize_t n = read(master_, buf, sizeof buf);
        if (n > 0)
          text_.append(buf, static_cast<std::size_t>(n));
      }
    }
    return text_;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string text_;
};

TEST_F(DeckSimPty, StatusLineOnATerminalUnlessQuiet) {
  for (const bool quiet : {false, true}) {
    SCOPED_TRACE(quiet ? "--quiet" : "status line");
    StderrTerminal term;
    ASSERT_GE(term.slave(), 0);
    DeckSim sim(quiet ? std::vector<std::string>{"--quiet", "--fps", "25"}
                      : std::vector<std::string>{"--fps", "25"},
                term.slave());
    ASSERT_FALSE(sim.path().empty());
    SerOutPort link(sim.path());
    ASSERT_FALSE(link.isBad());
    link.setwait(9);
    EXPECT_EQ(exchange(link, kPlay, 3).count, 3);
    EXPECT_TRUE(isTime(exchange(link, kTimeSense, 7)));
    const std::string shown = "play        +1.00x  in 2  out 2  (25 fps)";
    if (!quiet) {
      EXPECT_NE(term.readUntil(shown, std::chrono::seconds(5)).find(shown), std::string::npos);
    }
    EXPECT_EQ(sim.terminate(), 0);
    // Once the program has ended, everything it wrote is there to read.
    const std::string all = term.readUntil("\n", std::chrono::milliseconds(200));
    EXPECT_EQ(all.empty(), quiet) << all;
    if (!quiet) {
      EXPECT_EQ(all.substr(0, 13), "\r00:00:00:00 ");
    }
  }
}

TEST_F(DeckSimPty, BadArgumentsEndWithStatusTwo) {
  DeckSim sim({"--deck", "betamax"});
  EXPECT_TRUE(sim.path().empty());
  EXPECT_EQ(sim.waitExit(std::chrono::seconds(5)), 2);
}

}  // namespace
