#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "app/ControllerApp.h"
#include "app/support/Pty.h"
#include "app/support/TempDir.h"
#include "serial/SerOutPort.h"

// Start-up pieces that change the process (standard output, exit) run in a child process of a
// death test; the parent then looks at the files the child left.

namespace {

std::string lastLine(const std::string& text) {
  std::string t = text;
  while (!t.empty() && t.back() == '\n') {
    t.pop_back();
  }
  const auto nl = t.rfind('\n');
  return nl == std::string::npos ? t : t.substr(nl + 1);
}

// In a child whose standard output is console.txt and whose working folder is dir: the log is
// redirected, one line printed, and the child must end with status 0. An open that blocks ends
// the child by its alarm, not the test run.
void expectRedirectLogKeepsRunning(const TempDir& dir) {
  const std::string console = dir.path("console.txt");
  EXPECT_EXIT(
      {
        ::alarm(30);
        const int fd = ::open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0 || ::chdir(dir.path().c_str()) != 0) {
          std::_Exit(99);
        }
        ControllerApp::nodos = true;
        ControllerApp::redirectLog();
        std::cout << "still here" << std::endl;
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace

// The previous run's log moves to ORVALog.prev.txt (replacing the one before), so the reason
// for a failed start survives the next start.
TEST(RedirectLog, EveryFinishedLineIsInTheLogBeforeAnAbruptEndAndThePreviousLogIsKept) {
  TempDir dir;
  dir.write("ORVALog.txt", "output of the previous run\n");
  dir.write("ORVALog.prev.txt", "output of the run before\n");
  EXPECT_EXIT(
      {
        if (::chdir(dir.path().c_str()) != 0) {
          std::_Exit(99);
        }
        ControllerApp::nodos = true;
        ControllerApp::redirectLog();
        std::cout << "from the stream\n";
        std::printf("from printf\n");
        std::cout << "unfinished";
        std::_Exit(7);  // no flushing at all
      },
      ::testing::ExitedWithCode(7), "");
  EXPECT_EQ(dir.read("ORVALog.txt"), "from the stream\nfrom printf\n");
  EXPECT_EQ(dir.read("ORVALog.prev.txt"), "output of the previous run\n");
}

TEST(RedirectLog, OffLeavesStandardOutputAlone) {
  TempDir dir;
  EXPECT_EXIT(
      {
        if (::chdir(dir.path().c_str()) != 0) {
          std::_Exit(99);
        }
        ControllerApp::nodos = false;
        ControllerApp::redirectLog();
        std::_Exit(std::filesystem::exists("ORVALog.txt") ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

// Anything in the log's place that is not a regular file it can open at once keeps the output
// on the console: a folder (which cannot be opened for writing, not even by root), and a FIFO
// with or without a reader (the open must not wait for one).
TEST(RedirectLog, NoRegularLogFileKeepsTheConsole) {
  for (const char* what : {"a folder", "a FIFO without a reader", "a FIFO with a reader"}) {
    SCOPED_TRACE(what);
    TempDir dir;
    const std::string log = dir.path("ORVALog.txt");
    const std::string kind = what;
    int readerFd = -1;
    if (kind == "a folder") {
      std::filesystem::create_directory(log);
    } else {
      ASSERT_EQ(::mkfifo(log.c_str(), 0644), 0);
      if (kind == "a FIFO with a reader") {
        readerFd = ::open(log.c_str(), O_RDONLY | O_NONBLOCK);
      }
    }
    expectRedirectLogKeepsRunning(dir);
    if (readerFd >= 0) {
      ::close(readerFd);
    }
    EXPECT_EQ(dir.read("console.txt"), "still here\n");
  }
}

// A log that is there but cannot be opened for writing (on Windows: another program holds it;
// here: a running program, which even root cannot write) keeps the console, and the previous
// log is neither emptied nor moved over the one before it.
TEST(RedirectLog, ALogThatCannotBeWrittenStaysAsItIs) {
  TempDir dir;
  const std::string log = dir.path("ORVALog.txt");
  std::filesystem::copy_file("/bin/sleep", log);
  std::filesystem::permissions(log, std::filesystem::perms::owner_all);
  dir.write("ORVALog.prev.txt", "output of the run before\n");
  const std::string before = dir.read("ORVALog.txt");
  char arg0[] = "ORVALog.txt";
  char arg1[] = "60";
  char* args[] = {arg0, arg1, nullptr};
  pid_t busy = -1;
  ASSERT_EQ(::posix_spawn(&busy, log.c_str(), nullptr, nullptr, args, environ), 0);
  // The program is running once its file cannot be opened for writing.
  for (int i = 0; i < 200; ++i) {
    const int fd = ::open(log.c_str(), O_WRONLY);
    if (fd < 0) {
      break;
    }
    ::close(fd);
    ::usleep(10000);
  }
  expectRedirectLogKeepsRunning(dir);
  ::kill(busy, SIGKILL);
  ::waitpid(busy, nullptr, 0);
  EXPECT_EQ(dir.read("console.txt"), "still here\n");
  EXPECT_EQ(dir.read("ORVALog.txt"), before);
  EXPECT_EQ(dir.read("ORVALog.prev.txt"), "output of the run before\n");
}

TEST(MakeSerial, OpensThePortAndSetsTheReplyWait) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  ControllerApp::resetDefaults();
  ControllerApp::comport1 = pty.slavePath();
  ::testing::internal::CaptureStdout();
  ControllerApp::MakeSerial();
  std::fflush(stdout);
  const std::string out = ::testing::internal::GetCapturedStdout();
  ASSERT_NE(ControllerApp::sop, nullptr);
  EXPECT_FALSE(ControllerApp::sop->isBad());
  EXPECT_EQ(ControllerApp::sop->getwait(), 9);
  EXPECT_EQ(lastLine(out), "Serial Port " + pty.slavePath() + " Opened OK");
}

TEST(MakeSerial, SimInAnyCaseIsTheBuiltInDeck) {
  ControllerApp::resetDefaults();
  ControllerApp::comport1 = "Sim";
  ::testing::internal::CaptureStdout();
  ControllerApp::MakeSerial();
  std::fflush(stdout);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(lastLine(out), "Serial Port Sim Opened OK");
  ASSERT_NE(ControllerApp::sop, nullptr);
  ASSERT_TRUE(ControllerApp::sop->hasOutStream());
  // The emulated deck answers a time request (61 0C 03, checksum 70) with a timecode frame.
  const std::array<std::uint8_t, 4> timeSense{0x61, 0x0C, 0x03, 0x70};
  const SerialReply reply = ControllerApp::sop->SendSerial(timeSense);
  EXPECT_GT(reply.count, 0);
  EXPECT_EQ(reply.bytes[0] & 0xF0, 0x70);
}

TEST(Init, ComposesTheZarixTitleAndPrintsTheReport) {
  TempDir dir;
  dir.write("ORVASettings.txt", "COMPort = SIM\nVCRType = zarix\nUserNote = Bay 2\n");
  EXPECT_EXIT(
      {
        if (::chdir(dir.path().c_str()) != 0) {
          std::_Exit(99);
        }
        ControllerApp::resetDefaults();
        ControllerApp::redirectLog();
        ControllerApp::init();
        std::_Exit(ControllerApp::title == " TEKU_v2" && ControllerApp::utils != nullptr ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(dir.read("ORVALog.txt"),
            "Serial Port SIM Opened OK\n"
            " TEKU_v2\n"
            " \n"
            "COM Port         = SIM\n"
            "VCR Type         = zarix\n"
            "User Note        = Bay 2\n"
            "Use Clipboard    = null\n"
            "Stop On Exit     = null\n"
            "Verbose          = null\n"
            "Compression      = 4\n"
            "VideoMode        = NTSC\n"
            "VideoType        = COMP\n"
            "LoopRecMode      = NO\n"
            "LoopPlayMode     = NO\n"
            " \n"
            "EDL Conversion Settings:\n"
            "Initialize Disk  = YES\n"
            "Finalize Disk    = YES\n"
            "Record Mode      = Title\n"
            "AutoChapter      = NO\n"
            "NameChapters     = NO\n"
            "FirstNameColumn  = 1\n"
            "LastNameColumn   = 10\n"
            "NameDelimiter    = .\n"
            "Optimize         = NO\n"
            "Filter           = 2\n"
            " \n"
            "\n");
}
