#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "deck/Sleeper.h"

// The real Sleeper: waits on one condition variable, so shutdown() ends every wait at once and
// wake() makes the state waits check again without polling fast.
class ConditionSleeper : public Sleeper {
 public:
  bool sleep(int ms) override;
  bool sleepUnless(int ms, const std::atomic<bool>& cancel) override;
  void hold(int ms) override;
  bool waitUntil(const std::function<bool()>& done, int checkMs, int limitMs) override;
  // Sleeps on the condition variable until shortly before the instant, then spins to it: a
  // woken thread on a loaded machine may start a few milliseconds late, a spinning one not.
  bool sleepUntil(const Deadline& deadline, const std::function<bool()>& cancel) override;
  void wake() override;
  void shutdown() override;
  bool closing() const override { return closing_.load(); }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::atomic<bool> closing_{false};
};
