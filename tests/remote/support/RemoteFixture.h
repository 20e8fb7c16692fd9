#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "deck/DeckView.h"
#include "deck/LocalVCR.h"
#include "remote/HyperDeckPort.h"
#include "remote/RemotePort.h"
#include "serial/SerOutPort.h"
#include "sim/DeckSimChild.h"

// A window that keeps only its status lines.
class StatusView : public DeckView {
 public:
  void ShowTC(const std::string&) override {}
  void ShowStatus(const std::string& text) override;
  void clearbuttons() override {}
  void hilight(DeckButton) override {}
  void setCueLocked(bool) override {}
  void ShowCueField(const std::string&) override {}
  void ShowEndField(const std::string&) override {}
  void copyToClipboard(const std::string&) override {}
  void openLogger() override {}
  bool shown(const std::string& prefix) const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// The deck controller polling orva-decksim over a pseudo-terminal, with the remote servers on
// free loopback ports.
class RemoteFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Starts the emulator (deck kind "vtr", "lx1", ..., with more of its options in simArgs) and
  // the controller counting at `rate`; polling runs. The HyperDeck server takes
  // hyperDeckClients clients at once (1: a second one is refused).
  bool open(const std::string& deck = "vtr", const std::string& allow = "",
            int hyperDeckClients = 1, const std::vector<std::string>& simArgs = {},
            TimecodeRate rate = {});
  // Frames the deck received so far, in order.
  std::vector<std::string> framesIn() const;
  // Waits until the deck has received `hex` (count times).
  bool received(const std::string& hex, int count = 1, int timeoutMs = 5000) const;
  bool logged(const std::string& part, int timeoutMs = 3000) const;
  static bool eventually(const std::function<bool()>& pred, int timeoutMs);

  StatusView view;
  std::unique_ptr<DeckSimChild> sim;
  std::unique_ptr<SerOutPort> link;
  std::unique_ptr<LocalVCR> vcr;
  std::unique_ptr<RemotePort> session;
  std::unique_ptr<HyperDeckPort> hyperdeck;

 private:
  std::string transcript_;
  mutable std::mutex logMutex_;
  std::vector<std::string> log_;
};
