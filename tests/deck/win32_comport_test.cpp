// The Windows build against the deck emulator through a real COM port: the Win32 driver, then
// the command link and the deck polling, checked in the emulator's transcript. Run by
// scripts/windows-test.sh, which points a COM port of Wine at the emulator's pseudo-terminal
// and names it and the transcript in ORVA_TEST_COMPORT and ORVA_TEST_TRANSCRIPT.
#include <gtest/gtest.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"
#include "deck/support/EventLog.h"
#include "deck/support/FakeView.h"
#include "serial/SerOutPort.h"
#include "serial/port/SerialConfig.h"
#include "serial/port/Win32SerialDriver.h"

namespace {

struct Frame {
  bool in = false;  // a frame the deck received
  std::string hex;
};

// The transcript lines "<us> IN|OUT <hex bytes>".
std::vector<Frame> readTranscript(const std::string& path) {
  std::vector<Frame> frames;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    std::string us, dir;
    if (!(s >> us >> dir) || (dir != "IN" && dir != "OUT")) {
      continue;
    }
    std::string rest;
    std::getline(s, rest);
    rest.erase(0, rest.find_first_not_of(' '));
    frames.push_back({dir == "IN", rest});
  }
  return frames;
}

int countIn(const std::vector<Frame>& frames, const std::string& hex) {
  return static_cast<int>(std::count_if(frames.begin(), frames.end(),
                                        [&](const Frame& f) { return f.in && f.hex == hex; }));
}

bool runsUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool eventually(const std::function<bool()>& pred, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* port = std::getenv("ORVA_TEST_COMPORT");
    const char* transcript = std::getenv("ORVA_TEST_TRANSCRIPT");
    if (port == nullptr || transcript == nullptr) {
      GTEST_SKIP() << "ORVA_TEST_COMPORT and ORVA_TEST_TRANSCRIPT name no emulated deck";
    }
    port_ = port;
    transcript_ = transcript;
    ControllerApp::resetDefaults();
  }
  void TearDown() override { ControllerApp::resetDefaults(); }

  std::string port_;
  std::string transcript_;
};

TEST_F(ComPortTest, DriverOpensExclusivelyAndExchangesAFrame) {
  Win32SerialDriver driver;
  SerialConfig config(port_);
  ASSERT_EQ(driver.SerOpenPort(config), 0);
  const int h = config.getPort() - 1;
  config.setBitRate(SerialConfig::BR_38400);
  config.setParity(SerialConfig::PY_ODD);
  ASSERT_EQ(driver.SerConfigure(config), 0);

  // Opened without sharing: a second open is refused, by this driver and by any other.
  SerialConfig again(port_);
  EXPECT_EQ(driver.SerOpenPort(again), Win32SerialDriver::kAlreadyOpen);
  Win32SerialDriver other;
  if (runsUnderWine()) {
    // Wine does not apply share modes to serial devices: there a second handle opens.
    std::cout << "share mode of COM ports not enforced by Wine; in-use check skipped\n";
  } else {
    EXPECT_EQ(other.SerOpenPort(again), Win32SerialDriver::kInUse);
  }
  SerialConfig missing("COM250");
  EXPECT_EQ(other.SerOpenPort(missing), Win32SerialDriver::kNotValid);

  // Reads return at once, with nothing when nothing waits.
  std::uint8_t reply[16]{};
  EXPECT_EQ(driver.SerRxFlush(h), 0);
  EXPECT_EQ(driver.SerGetData(h, reply, 16), 0);
  const std::uint8_t timecodeRequest[] = {0x61, 0x0C, 0x03, 0x70};
  ASSERT_EQ(driver.SerPutData(h, timecodeRequest, 4), 4);
  EXPECT_EQ(driver.SerTxDrain(h), 0);
  int got = 0;
  ASSERT_TRUE(eventually(
      [&] {
        const int n = driver.SerGetData(h, reply + got, 16 - got);
        got += std::max(n, 0);
        return got >= 7;
      },
      5000))
      << got << " bytes";
  EXPECT_EQ(reply[0], 0x74);
  EXPECT_EQ(reply[1], 0x04);
  EXPECT_EQ(driver.SerRxReadyCount(h), 0);
  EXPECT_EQ(driver.SerTxBufCount(h), 0);
  EXPECT_EQ(driver.SerClosePort(h), 0);
  if (!runsUnderWine()) {
    EXPECT_EQ(other.SerOpenPort(again), 0);  // free again once closed
  }
  EXPECT_TRUE(
      eventually([&] { return countIn(readTranscript(transcript_), "61 0C 03 70") >= 1; }, 5000));
}

TEST_F(ComPortTest, LinkAndPollingReachTheDeck) {
  ControllerApp::lx1 = false;
  ControllerApp::stoponexit = false;
  const int before = countIn(readTranscript(transcript_), "61 0C 03 70");
  SerOutPort link(port_);
  ASSERT_FALSE(link.isBad()) << port_;
  link.setwait(9);
  EventLog log;
  FakeView view{log};
  LocalVCR vcr(link, false, view);
  vcr.start();
  // The time-mode command first, then timecode requests with a status request among them.
  EXPECT_TRUE(eventually(
      [&] { return countIn(readTranscript(transcript_), "61 0C 03 70") >= before + 20; }, 20000));
  vcr.close();
  const auto frames = readTranscript(transcript_);
  EXPECT_GE(countIn(frames, "41 36 00 77"), 1);
  EXPECT_GE(countIn(frames, "61 20 09 8A"), 1);
  EXPECT_NE(vcr.tcText(), "");
}

}  // namespace
