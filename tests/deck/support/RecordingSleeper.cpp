#include "deck/support/RecordingSleeper.h"

#include <algorithm>
#include <string>

bool RecordingSleeper::sleep(int ms) {
  log_.add("(" + std::to_string(ms) + " ms)");
  if (onSleep) {
    onSleep(ms);
  }
  if (realCapMs > 0) {
    return ConditionSleeper::sleep(std::min(ms, realCapMs));
  }
  return !closing();
}

bool RecordingSleeper::sleepUnless(int ms, const std::atomic<bool>& cancel) {
  log_.add("(" + std::to_string(ms) + " ms)");
  if (onSleep) {
    onSleep(ms);
  }
  if (realCapMs > 0) {
    return ConditionSleeper::sleepUnless(std::min(ms, realCapMs), cancel);
  }
  return !closing() && !cancel.load();
}

void RecordingSleeper::hold(int ms) {
  log_.add("(hold " + std::to_string(ms) + " ms)");
}

bool RecordingSleeper::waitUntil(const std::function<bool()>& done, int checkMs, int limitMs) {
  log_.add(limitMs < 0 ? "(until)" : "(until " + std::to_string(limitMs) + " ms)");
  if (limitCapMs >= 0 && (limitMs < 0 || limitMs > limitCapMs)) {
    limitMs = limitCapMs;
  }
  return ConditionSleeper::waitUntil(done, checkMs, limitMs);
}
