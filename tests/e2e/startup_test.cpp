// Starts the real orva program in an empty temporary folder and reads the log it leaves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
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

class PseudoTerminal {
 public:
  PseudoTerminal() {
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    const char* name = nullptr;
    if (fd >= 0 && ::grantpt(fd) == 0 && ::unlockpt(fd) == 0 && (name = ::ptsname(fd))) {
      master_ = fd;
      slave_ = name;
    } else if (fd >= 0) {
      ::close(fd);
    }
  }
  ~PseudoTerminal() {
    if (master_ >= 0) {
      ::close(master_);
    }
  }
  bool ok() const { return master_ >= 0; }
  const std::string& slavePath() const { return slave_; }

 private:
  int master_ = -1;
  std::string slave_;
};

// The program running in a folder; killed if the test leaves it running.
class Orva {
 public:
  explicit Orva(const std::string& folder) {
    pid_ = ::fork();
    if (pid_ == 0) {
      const int devnull = ::open("/dev/null", O_RDWR);
      if (devnull < 0 || ::chdir(folder.c_str()) != 0) {
        ::_exit(127);
      }
      ::dup2(devnull, STDIN_FILENO);
      ::dup2(devnull, STDOUT_FILENO);
      ::dup2(devnull, STDERR_FILENO);
      // Should the program open its window, it must not need a real display.
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      ::execl(kOrva.c_str(), kOrva.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~Orva() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  bool started() const { return pid_ > 0; }

  // The exit status once the program has ended by itself; nothing if it still runs at the
  // deadline or died of a signal (then the status is -signal).
  std::optional<int> waitExit(Clock::duration limit) {
    const auto deadline = Clock::now() + limit;
    while (!status_) {
      int st = 0;
      const pid_t r = ::waitpid(pid_, &st, WNOHANG);
      if (r == pid_) {
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -WTERMSIG(st);
      } else if (Clock::now() >= deadline) {
        break;
      } else {
        std::this_thread::sleep_for(10ms);
      }
    }
    return status_;
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

std::string reportLines(const std::string& port) {
  return " \n"
         "COM Port         = " +
         port +
         "\n"
         "VCR Type         = RS422\n"
         "User Note        = Studio B tap\n"
         "Use Clipboard    = NO\n"
         "Stop On Exit     = yes\n"
         "Verbose          = null\n"
         " \n"
         "EDL Conversion Settings:\n"
         "Initialize Disk  = NO\n"
         "Finalize Disk    = YES\n"
         "Record Mode      = Pause\n"
         "AutoChapter      = YES\n"
         "NameChapters     = NO\n"
         "FirstNameColumn  = 3\n"
         "LastNameColumn   = 40\n"
         "NameDelimiter    = _\n"
         "Optimize         = NO\n"
         "Filter           = 16\n"
         " \n";
}

std::string settingsFor(const std::string& port) {
  return "# deck on a test line\n"
         "COMPort = " +
         port +
         "\n"
         "VCRType = RS422\n"
         "UserNote = Studio B tape room\n"
         "UseClipboard = NO\n"
         "StopOnExit = yes\n"
         "Initialize = NO\n"
         "RECMode = Pause\n"
         "AutoChapter = YES\n"
         "FirstNameColumn = 3\n"
         "LastNameColumn = 40\n"
         "NameDelimiter = _\n"
         "Filter = 20\n";
}

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kOrva)) {
      GTEST_SKIP() << kOrva << " is not built; build the orva target to run this test";
    }
    ASSERT_FALSE(folder.path().empty());
  }
  TempFolder folder{"orva-e2e"};
};

}  // namespace

TEST_F(Startup, WithoutSettingsFileEndsWithStatusOneAfterFiveSeconds) {
  const auto t0 = Clock::now();
  Orva orva(folder.path());
  ASSERT_TRUE(orva.started());
  const auto status = orva.waitExit(15s);
  ASSERT_TRUE(status.has_value()) << "still running after 15 s";
  EXPECT_EQ(*status, 1);
  EXPECT_GE(Clock::now() - t0, 4500ms);
  EXPECT_EQ(folder.read("ORVALog.txt"), "No Settings File found!\n");
}

TEST_F(Startup, PortThatDoesNotExistEndsWithStatusZeroAfterFiveSeconds) {
  folder.write("ORVASettings.txt", settingsFor("/dev/ttyNOPE"));
  const auto t0 = Clock::now();
  Orva orva(folder.path());
  ASSERT_TRUE(orva.started());
  const auto status = orva.waitExit(15s);
  ASSERT_TRUE(status.has_value()) << "still running after 15 s";
  EXPECT_EQ(*status, 0);
  EXPECT_GE(Clock::now() - t0, 4500ms);
  const std::string log = folder.read("ORVALog.txt");
  // The ports there are come just before the message, which ends the log.
  const std::string last = "Serial port /dev/ttyNOPE for VCR not available.\n";
  ASSERT_TRUE(log.ends_with(last)) << log;
  const std::string rest = log.substr(0, log.size() - last.size());
  const std::string ports = rest.substr(rest.rfind('\n', rest.size() - 2) + 1);
  EXPECT_TRUE(ports == "No serial ports found\n" || ports.starts_with("Serial ports found: /dev/"))
      << log;
  EXPECT_EQ(log.find("COM Port"), std::string::npos) << "no report without a port: " << log;
}

TEST_F(Startup, WorkingPortGivesTitleAndReport) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  folder.write("ORVASettings.txt", settingsFor(pty.slavePath()));
  Orva orva(folder.path());
  ASSERT_TRUE(orva.started());

  const std::string opened = "Serial Port " + pty.slavePath() + " Opened OK\n";
  const std::string expected = opened + " ORVA_v2\n" + reportLines(pty.slavePath()) + "\n";
  // Wait until start-up has written all of it, or the program has ended.
  std::string log;
  const auto deadline = Clock::now() + 10s;
  for (;;) {
    log = folder.read("ORVALog.txt");
    const auto at = log.find(opened);
    if ((at != std::string::npos && log.size() - at >= expected.size()) || orva.waitExit(0s) ||
        Clock::now() >= deadline) {
      break;
    }
    std::this_thread::sleep_for(10ms);
  }

  const auto at = log.find(opened);
  ASSERT_NE(at, std::string::npos) << log;
  // Before it only the link's own notes may stand (a pseudo-terminal has no modem lines).
  std::istringstream before(log.substr(0, at));
  for (std::string line; std::getline(before, line);) {
    EXPECT_EQ(line.rfind("Unable to ", 0), 0u) << "unexpected line: " << line;
  }
  EXPECT_EQ(log.substr(at, expected.size()), expected);

  // The program may go on to open its window (it then runs until killed); if it ended by
  // itself, it ended well.
  if (const auto status = orva.waitExit(0s)) {
    EXPECT_EQ(*status, 0) << log;
  }
}

// --help, --version and --list-ports answer on standard output and end at once with status 0: they
// need no settings file and leave the folder's log as it was.
TEST(InfoOptions, AnswerAtOnceAndLeaveTheLogAlone) {
  TempFolder dir("orva-info");
  ASSERT_FALSE(dir.path().empty());
  dir.write("ORVALog.txt", "previous run\n");
  for (const std::string option : {"--help", "--version", "--list-ports"}) {
    SCOPED_TRACE(option);
    const std::string cmd = "cd '" + dir.path() + "' && '" + kOrva + "' " + option + " >out.txt";
    const int rc = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(rc));
    EXPECT_EQ(WEXITSTATUS(rc), 0);
    const std::string out = dir.read("out.txt");
    const std::string start = option == "--help"         ? "Usage: orva"
                              : option == "--version"    ? "orva "
                              : out.starts_with("/dev/") ? "/dev/"
                                                         : "No serial ports found\n";
    EXPECT_EQ(out.rfind(start, 0), 0u) << out;
    EXPECT_EQ(dir.read("ORVALog.txt"), "previous run\n");
  }
}
