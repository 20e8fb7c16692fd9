// Runs the real orva program against orva-decksim over a pseudo-terminal and closes it the way a
// service manager does (SIGTERM closes the control window like the operator's close): the deck
// gets Stop twice, 500 ms apart, nothing after, and the program ends with status 0.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string kOrva = ORVA_BINARY_DIR "/app/orva";
const std::string kDeckSim = ORVA_BINARY_DIR "/sim/orva-decksim";

bool executable(const std::string& path) {
  return ::access(path.c_str(), X_OK) == 0;
}

// Waits for a condition in short steps until the deadline; answers whether it came true.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() >= end) {
      return false;
    }
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// A child process, ended (SIGKILL) and reaped if the test leaves it running.
class Child {
 public:
  // Runs argv in dir with the environment changes (name, value; an empty value unsets);
  // standard output goes to a pipe when capture is set, else to /dev/null.
  Child(const std::vector<std::string>& argv, const std::string& dir,
        const std::vector<std::pair<std::string, std::string>>& env, bool capture) {
    int out[2] = {-1, -1};
    if (capture && ::pipe2(out, O_CLOEXEC) != 0) {
      return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      if (::chdir(dir.c_str()) != 0) {
        ::_exit(127);
      }
      for (const auto& [name, value] : env) {
        if (value.empty()) {
          ::unsetenv(name.c_str());
        } else {
          ::setenv(name.c_str(), value.c_str(), 1);
        }
      }
      const int devnull = ::open("/dev/null", O_RDWR);
      ::dup2(capture ? out[1] : devnull, STDOUT_FILENO);
      ::dup2(devnull, STDERR_FILENO);
      std::vector<char*> args;
      for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
      }
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    if (capture) {
      ::close(out[1]);
      out_ = out[0];
    }
  }
  ~Child() {
    if (running()) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) {
      ::close(out_);
    }
  }
  bool started() const { return pid_ > 0; }
  bool running() const { return pid_ > 0 && !status_; }
  void signal(int signo) const { ::kill(pid_, signo); }

  // The exit status once the process has ended within the limit (-1: killed by a signal).
  std::optional<int> waitExit(std::chrono::milliseconds limit) {
    waitUntil(
        [this] {
          int st = 0;
          if (::waitpid(pid_, &st, WNOHANG) == pid_) {
            status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
          }
          return status_.has_value();
        },
        limit);
    return status_;
  }

  // The first line of the captured output, within the limit.
  std::optional<std::string> firstLine(std::chrono::milliseconds limit) {
    std::string line;
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 50) > 0) {
        char c;
        if (::read(out_, &c, 1) != 1) {
          return std::nullopt;
        }
        if (c == '\n') {
          return line;
        }
        line += c;
      }
    }
    return std::nullopt;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::optional<int> status_;
};

struct Frame {
  long long us;
  std::string dir;    // IN or OUT
  std::string bytes;  // "20 00 20"
};

std::vector<Frame> frames(const std::string& transcript) {
  std::vector<Frame> out;
  std::istringstream in(transcript);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream f(line);
    Frame fr;
    if (!(f >> fr.us >> fr.dir)) {
      continue;
    }
    std::getline(f >> std::ws, fr.bytes);
    out.push_back(fr);
  }
  return out;
}

int countIn(const std::vector<Frame>& all, const std::string& bytes) {
  int n = 0;
  for (const Frame& f : all) {
    n += (f.dir == "IN" && f.bytes == bytes) ? 1 : 0;
  }
  return n;
}

std::string settings(const std::string& port) {
  return "COMPort = " + port +
         "\nVCRType = VTR\nUserNote = e2e\nUseClipboard = NO\nStopOnExit = YES\nVerbose = NO\n";
}

}  // namespace

TEST(OrvaClose, SigtermClosesTheWindowStopsTheDeckTwiceAndExitsZero) {
  if (!executable(kOrva) || !executable(kDeckSim)) {
    GTEST_SKIP() << "build orva and orva-decksim first (" << kOrva << ", " << kDeckSim << ")";
  }
  TempFolder dir("orva-close");
  ASSERT_FALSE(dir.path().empty());
  Child deck({kDeckSim, "--transcript", dir.file("transcript.txt")}, dir.path(), {}, true);
  ASSERT_TRUE(deck.started());
  const std::optional<std::string> slave = deck.firstLine(5s);
  ASSERT_TRUE(slave.has_value()) << "orva-decksim printed no port";

  dir.write("ORVASettings.txt", settings(*slave));
  Child orva({kOrva}, dir.path(), {{"QT_QPA_PLATFORM", "offscreen"}}, false);
  ASSERT_TRUE(orva.started());

  // Polling is under way once the deck has been asked for its time a few times.
  ASSERT_TRUE(waitUntil(
      [&] { return countIn(frames(dir.read("transcript.txt")), "61 0C 03 70") >= 5; }, 10s))
      << dir.read("ORVALog.txt");
  EXPECT_TRUE(orva.running());

  orva.signal(SIGTERM);
  const std::optional<int> status = orva.waitExit(10s);
  ASSERT_TRUE(status.has_value()) << "orva did not end after SIGTERM";
  EXPECT_EQ(*status, 0);

  // Let the deck write what it received before it is stopped.
  deck.signal(SIGTERM);
  deck.waitExit(5s);

  std::vector<Frame> in;
  for (const Frame& f : frames(dir.read("transcript.txt"))) {
    if (f.dir == "IN") {
      in.push_back(f);
    }
  }
  ASSERT_GE(in.size(), 3u);
  EXPECT_EQ(in.front().bytes, "41 36 00 77") << "the time mode comes first";
  // The last two frames the deck received are the two Stops, 500 ms apart: nothing after them.
  const Frame& second = in[in.size() - 1];
  const Frame& first = in[in.size() - 2];
  EXPECT_EQ(first.bytes, "20 00 20");
  EXPECT_EQ(second.bytes, "20 00 20");
  const long long gapMs = (second.us - first.us) / 1000;
  EXPECT_NEAR(gapMs, 500, 100);
  std::cout << "Stop frames " << gapMs << " ms apart; " << in.size() << " frames received"
            << std::endl;

  const std::string log = dir.read("ORVALog.txt");
  EXPECT_NE(log.find("Serial Port " + *slave + " Opened OK"), std::string::npos) << log;
  EXPECT_NE(log.find(" ORVA_v2\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Ready\n"), std::string::npos) << log;
}

TEST(OrvaClose, WithoutADisplayItSaysHowToRunItAndEndsWithStatusOne) {
  if (!executable(kOrva) || !executable(kDeckSim)) {
    GTEST_SKIP() << "build orva and orva-decksim first (" << kOrva << ", " << kDeckSim << ")";
  }
  TempFolder dir("orva-close");
  ASSERT_FALSE(dir.path().empty());
  Child deck({kDeckSim}, dir.path(), {}, true);
  const std::optional<std::string> slave = deck.firstLine(5s);
  ASSERT_TRUE(slave.has_value()) << "orva-decksim printed no port";
  dir.write("ORVASettings.txt", settings(*slave));

  Child orva({kOrva}, dir.path(),
             {{"QT_QPA_PLATFORM", ""}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, false);
  const std::optional<int> status = orva.waitExit(10s);
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 1);
  const std::string log = dir.read("ORVALog.txt");
  EXPECT_NE(log.find("Serial Port " + *slave + " Opened OK"), std::string::npos) << log;
  EXPECT_NE(log.find("No display: run ORVA under a virtual one, e.g. xvfb-run -a "
                     "./scripts/run.sh\n"),
            std::string::npos)
      << log;
}
