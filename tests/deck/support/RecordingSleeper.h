#pragma once

#include <functional>

#include "deck/ConditionSleeper.h"
#include "deck/support/EventLog.h"

// Records every fixed wait as "(N ms)" and every state wait as "(until N ms)" / "(until)" in the
// shared log. Fixed waits return at once (or after at most realCapMs, to keep a polling thread
// from spinning); state waits really wait, so a test drives them through the controller, with
// their limit cut to limitCapMs when that is set.
class RecordingSleeper : public ConditionSleeper {
 public:
  explicit RecordingSleeper(EventLog& log) : log_(log) {}

  bool sleep(int ms) override;
  // Recorded as a fixed wait; with realCapMs it really waits and ends when cancel is set.
  bool sleepUnless(int ms, const std::atomic<bool>& cancel) override;
  void hold(int ms) override;
  bool waitUntil(const std::function<bool()>& done, int checkMs, int limitMs) override;

  int realCapMs = 0;
  int limitCapMs = -1;
  // Called on the sleeping thread after a fixed wait is recorded (to act "during" it).
  std::function<void(int)> onSleep;

 private:
  EventLog& log_;
};
