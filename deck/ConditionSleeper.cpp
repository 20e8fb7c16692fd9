#include "deck/ConditionSleeper.h"

#include <algorithm>
#include <chrono>
#include <thread>

using Clock = std::chrono::steady_clock;

bool ConditionSleeper::sleep(int ms) {
  std::unique_lock lock(mutex_);
  if (ms <= 0) {
    return !closing_.load();
  }
  // The predicate keeps a wake() meant for the state waits from shortening a fixed pause.
  return !cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return closing_.load(); });
}

bool ConditionSleeper::sleepUnless(int ms, const std::atomic<bool>& cancel) {
  std::unique_lock lock(mutex_);
  if (ms <= 0) {
    return !closing_.load() && !cancel.load();
  }
  // The canceller sets the flag before wake() takes this mutex, so the predicate sees it.
  return !cv_.wait_for(lock, std::chrono::milliseconds(ms),
                       [this, &cancel] { return closing_.load() || cancel.load(); });
}

void ConditionSleeper::hold(int ms) {
  if (ms > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

bool ConditionSleeper::waitUntil(const std::function<bool()>& done, int checkMs, int limitMs) {
  const auto step = std::chrono::milliseconds(std::max(1, checkMs));
  const auto deadline =
      limitMs < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(limitMs);
  std::unique_lock lock(mutex_);
  while (!closing_.load()) {
    if (done()) {
      return true;
    }
    const auto now = Clock::now();
    if (now >= deadline) {
      return false;
    }
    // A writer changes the state and then calls wake(), which takes this mutex; since done() is
    // checked under the mutex, a change cannot slip in between the check and the wait.
    const auto until = deadline - now > step ? now + step : deadline;
    cv_.wait_until(lock, until);
  }
  return false;
}

bool ConditionSleeper::sleepUntil(const Deadline& deadline, const std::function<bool()>& cancel) {
  // Long enough to cover the wake-up of a sleeping thread under load, short enough that the
  // spin costs little.
  constexpr auto kSpin = std::chrono::microseconds(2500);
  std::unique_lock lock(mutex_);
  for (;;) {
    if (closing_.load() || cancel()) {
      return false;
    }
    const auto at = deadline();
    if (!at) {
      return false;
    }
    const auto now = Clock::now();
    if (now >= *at) {
      return true;
    }
    if (*at - now <= kSpin) {
      lock.unlock();
      while (Clock::now() < *at) {
        if (closing_.load()) {
          return false;
        }
      }
      lock.lock();
      return !closing_.load() && !cancel();
    }
    cv_.wait_until(lock, *at - kSpin);
  }
}

void ConditionSleeper::wake() {
  { std::lock_guard lock(mutex_); }
  cv_.notify_all();
}

void ConditionSleeper::shutdown() {
  {
    std::lock_guard lock(mutex_);
    closing_.store(true);
  }
  cv_.notify_all();
}
