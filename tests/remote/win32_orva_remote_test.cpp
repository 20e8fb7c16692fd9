// orva.exe with its remote servers on, on the deck emulator through a real COM port: a HyperDeck
// client plays and stops the deck over loopback, the session answers GetTC, and the frames
// reach the emulator's transcript; without a remote key the program listens on no port. Run by
// scripts/windows-test.sh, which points a COM port of Wine at the emulator's pseudo-terminal
// and names it and the transcript in ORVA_TEST_COMPORT and ORVA_TEST_TRANSCRIPT.
#include <gtest/gtest.h>
#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h: the tables of connections.
#include <iphlpapi.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "remote/Socket.h"
#include "remote/support/TestClient.h"
#include "support/TempFolder.h"

namespace {

bool eventually(const std::function<bool()>& pred, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The frames the deck received ("20 01 21"), from the transcript lines "<us> IN <hex bytes>".
std::vector<std::string> framesIn(const std::string& path) {
  std::vector<std::string> frames;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    std::string us, dir, rest;
    if (s >> us >> dir && dir == "IN") {
      std::getline(s, rest);
      rest.erase(0, rest.find_first_not_of(' '));
      frames.push_back(rest);
    }
  }
  return frames;
}

// A port free now on both loopback addresses, kept by the caller's socket until it is used.
int freePort(Socket& holder) {
  std::string error;
  holder = Socket::listenOn("127.0.0.1", 0, error);
  return holder.valid() ? holder.localPort() : 0;
}

// The TCP ports a process listens on, IPv4 and IPv6; nothing when the system cannot tell.
std::optional<std::vector<int>> listeningPorts(DWORD pid) {
  std::vector<int> ports;
  for (const ULONG family : {AF_INET, AF_INET6}) {
    DWORD size = 0;
    GetExtendedTcpTable(nullptr, &size, FALSE, family, TCP_TABLE_OWNER_PID_LISTENER, 0);
    std::vector<unsigned char> table(size + 4096);
    size = static_cast<DWORD>(table.size());
    if (GetExtendedTcpTable(table.data(), &size, FALSE, family, TCP_TABLE_OWNER_PID_LISTENER, 0) !=
        NO_ERROR) {
      return std::nullopt;
    }
    if (family == AF_INET) {
      const auto* t = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(table.data());
      for (DWORD i = 0; i < t->dwNumEntries; ++i) {
        if (t->table[i].dwOwningPid == pid) {
          ports.push_back(ntohs(static_cast<u_short>(t->table[i].dwLocalPort)));
        }
      }
    } else {
      const auto* t = reinterpret_cast<const MIB_TCP6TABLE_OWNER_PID*>(table.data());
      for (DWORD i = 0; i < t->dwNumEntries; ++i) {
        if (t->table[i].dwOwningPid == pid) {
          ports.push_back(ntohs(static_cast<u_short>(t->table[i].dwLocalPort)));
        }
      }
    }
  }
  return ports;
}

// Whether the system's table names the owners of listening sockets (Wine's may not): this
// process's own listener must be in it.
bool tableNamesOwners() {
  std::string error;
  const Socket own = Socket::listenOn("127.0.0.1", 0, error);
  const auto ports = listeningPorts(GetCurrentProcessId());
  return own.valid() && ports &&
         std::find(ports->begin(), ports->end(), own.localPort()) != ports->end();
}

// orva.exe running in a folder of its own with the given settings; closed as its window's
// close box closes it when the object goes.
class OrvaProcess {
 public:
  OrvaProcess(const TempFolder& folder, const std::string& settings) : folder_(folder) {
    folder.write("ORVASettings.txt", settings);
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof cwd, cwd);
    std::string command = "\"" + std::string(cwd) + "\\ui\\win32\\orva.exe\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    started_ = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              folder.path().c_str(), &si, &process_) != 0;
  }
  ~OrvaProcess() { close(); }
  OrvaProcess(const OrvaProcess&) = delete;
  OrvaProcess& operator=(const OrvaProcess&) = delete;

  bool started() const { return started_; }
  DWORD pid() const { return process_.dwProcessId; }
  std::string log() const { return folder_.read("ORVALog.txt"); }
  bool logged(const std::string& part, int timeoutMs) const {
    return eventually([&] { return log().find(part) != std::string::npos; }, timeoutMs);
  }

  // Closes the window and waits for the process; its exit status, or -1 when it had to be
  // ended.
  int close() {
    if (!started_) {
      return -1;
    }
    started_ = false;
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          if (owner == static_cast<DWORD>(p) && IsWindowVisible(w)) {
            PostMessageA(w, WM_CLOSE, 0, 0);
          }
          return TRUE;
        },
        static_cast<LPARAM>(process_.dwProcessId));
    DWORD status = 0;
    if (WaitForSingleObject(process_.hProcess, 30000) != WAIT_OBJECT_0) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
      status = static_cast<DWORD>(-1);
    } else {
      GetExitCodeProcess(process_.hProcess, &status);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    return static_cast<int>(status);
  }

 private:
  const TempFolder& folder_;
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

class OrvaExeRemoteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* port = std::getenv("ORVA_TEST_COMPORT");
    const char* transcript = std::getenv("ORVA_TEST_TRANSCRIPT");
    if (port == nullptr || transcript == nullptr) {
      GTEST_SKIP() << "ORVA_TEST_COMPORT and ORVA_TEST_TRANSCRIPT name no emulated deck";
    }
    port_ = port;
    transcript_ = transcript;
  }
  int received(const std::string& frame) const {
    const auto f = framesIn(transcript_);
    return static_cast<int>(std::count(f.begin(), f.end(), frame));
  }

  std::string port_;
  std::string transcript_;
};

}  // namespace

TEST_F(OrvaExeRemoteTest, HyperDeckClientAndSessionDriveTheDeck) {
  TempFolder folder("orva-remote");
  Socket hold1, hold2;
  const int hyperDeckPort = freePort(hold1);
  const int sessionPort = freePort(hold2);
  hold1.reset();
  hold2.reset();
  const int plays = received("20 01 21");
  const int stops = received("20 00 20");
  OrvaProcess orva(folder, "COMPort = " + port_ + "\r\nStopOnExit = NO\r\nHyperDeckPort = " +
                               std::to_string(hyperDeckPort) +
                               "\r\nRemotePort = " + std::to_string(sessionPort) + "\r\n");
  ASSERT_TRUE(orva.started());
  ASSERT_TRUE(
      orva.logged("HyperDeck listening on 127.0.0.1:" + std::to_string(hyperDeckPort), 30000))
      << orva.log();
  ASSERT_TRUE(orva.logged("Remote session listening on", 5000)) << orva.log();

  TestClient deck(hyperDeckPort);
  ASSERT_TRUE(deck.connected());
  EXPECT_EQ(deck.block(5000).substr(0, 22), "500 connection info:\r\n");
  ASSERT_TRUE(deck.send("notify: transport: true\r\n"));
  EXPECT_EQ(deck.line(), "200 ok\r");
  ASSERT_TRUE(deck.send("play\r\n"));
  EXPECT_TRUE(deck.readUntil("200 ok\r\n"));
  EXPECT_TRUE(eventually([&] { return received("20 01 21") > plays; }, 5000));
  EXPECT_TRUE(deck.readUntil("508 transport info:\r\nstatus: play\r\n", 5000));
  ASSERT_TRUE(deck.send("stop\r\n"));
  EXPECT_TRUE(deck.readUntil("200 ok\r\n"));
  EXPECT_TRUE(eventually([&] { return received("20 00 20") > stops; }, 5000));

  TestClient session(sessionPort);
  ASSERT_TRUE(session.send("GetTC\r\n"));
  EXPECT_TRUE(std::regex_match(session.line(5000), std::regex("\\d\\d:\\d\\d:\\d\\d:\\d\\d")));

  // Where Wine or Windows has the IPv6 loopback, the HyperDeck server is there too.
  if (orva.log().find("[::1]:" + std::to_string(hyperDeckPort)) != std::string::npos) {
    TestClient six("::1", hyperDeckPort);
    EXPECT_EQ(six.block(5000).substr(0, 22), "500 connection info:\r\n");
    EXPECT_TRUE(orva.logged("; 2 clients connected", 5000));  // beside the IPv4 client
  }
  // The system's table of listeners names both ports for the process (where it can tell).
  if (tableNamesOwners()) {
    const auto ports = listeningPorts(orva.pid());
    EXPECT_NE(std::find(ports->begin(), ports->end(), hyperDeckPort), ports->end());
    EXPECT_NE(std::find(ports->begin(), ports->end(), sessionPort), ports->end());
  }
  deck.close();
  session.close();
  EXPECT_EQ(orva.close(), 0);
}

TEST_F(OrvaExeRemoteTest, NoRemoteKeyOpensNoPort) {
  TempFolder folder("orva-remote");
  const std::size_t before = framesIn(transcript_).size();
  OrvaProcess orva(folder, "COMPort = " + port_ + "\r\nStopOnExit = NO\r\n");
  ASSERT_TRUE(orva.started());
  // Running: the deck is being polled.
  ASSERT_TRUE(eventually([&] { return framesIn(transcript_).size() > before + 5; }, 30000));
  EXPECT_EQ(orva.log().find("listening"), std::string::npos) << orva.log();
  if (tableNamesOwners()) {
    EXPECT_TRUE(listeningPorts(orva.pid())->empty());
  } else {
    std::cout << "the system's table names no owners of listening sockets: the log is checked\n";
  }
  EXPECT_EQ(orva.close(), 0);
}
