#pragma once

#include <functional>

#include "deck/ConditionSleeper.h"
#include "deck/Sleeper.h"

// The controller's real sleeper, except that the fixed settle pauses of a cue or review (1000
// and 2000 ms) last only settleMs. Every other wait (the polling interval, the waits for a deck
// state) is the real one, so what happens on the line around the out point is unchanged.
class ShortSettleSleeper : public Sleeper {
 public:
  explicit ShortSettleSleeper(int settleMs) : settleMs_(settleMs) {}

  bool sleep(int ms) override { return real_.sleep(shorten(ms)); }
  bool sleepUnless(int ms, const std::atomic<bool>& cancel) override {
    return real_.sleepUnless(shorten(ms), cancel);
  }
  void hold(int ms) override { real_.hold(ms); }
  bool waitUntil(const std::function<bool()>& done, int checkMs, int limitMs) override {
    return real_.waitUntil(done, checkMs, limitMs);
  }
  bool sleepUntil(const Deadline& deadline, const std::function<bool()>& cancel) override {
    return real_.sleepUntil(deadline, cancel);
  }
  void wake() override { real_.wake(); }
  void shutdown() override { real_.shutdown(); }
  bool closing() const override { return real_.closing(); }

 private:
  int shorten(int ms) const { return ms == 1000 || ms == 2000 ? settleMs_ : ms; }

  int settleMs_;
  ConditionSleeper real_;
};
