#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"
#include "deck/support/EventLog.h"
#include "deck/support/FakeLink.h"
#include "deck/support/FakeView.h"
#include "deck/support/RecordingSleeper.h"

enum class Kind { Tape, Lx1, Zarix, Lanc };

// A controller over a fake link and view, with recorded waits and printed lines. Settings are
// reset to their defaults and the deck kind chosen before the controller is made.
class DeckFixture : public ::testing::Test {
 protected:
  void TearDown() override;
  // The controller counts timecode at `rate` (the FrameRate setting).
  LocalVCR& make(Kind kind = Kind::Tape, TimecodeRate rate = {});
  std::vector<std::string> lines() const;
  bool waitForLine(const std::string& line, int timeoutMs = 5000);
  // Checks pred every millisecond until it holds or the deadline passes.
  static bool eventually(const std::function<bool()>& pred, int timeoutMs = 5000);

  EventLog log;
  FakeLink link{log};
  FakeView view{log};
  std::shared_ptr<RecordingSleeper> sleeper = std::make_shared<RecordingSleeper>(log);
  std::unique_ptr<LocalVCR> vcr;

 private:
  mutable std::mutex linesMutex_;
  std::condition_variable linesCv_;
  std::vector<std::string> lines_;
};
