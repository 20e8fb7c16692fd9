#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

// Every wait of the deck controller goes through one Sleeper: the fixed pauses of its sequences,
// the polling interval, and the waits for a deck state (cued up, the out point, the end of a
// review). The program uses ConditionSleeper; tests substitute one that records the waits and
// returns at once.
class Sleeper {
 public:
  virtual ~Sleeper() = default;

  // Waits ms milliseconds (0 or less returns at once). Ends early once shutdown() was called and
  // answers false then; answers true after a full wait.
  virtual bool sleep(int ms) = 0;

  // A fixed wait of a run the operator can take over (a script, a review, a jog sequence): as
  // sleep(), and it also ends early once `cancel` is set (whoever sets it then calls wake()).
  // Answers true after a full wait. The default waits the whole time and checks at the end.
  virtual bool sleepUnless(int ms, const std::atomic<bool>& cancel) {
    return sleep(ms) && !cancel.load();
  }

  // A pause that shutdown() does not shorten: the controller's own closing sequence uses it.
  virtual void hold(int ms) = 0;

  // Waits until done() answers true, for at most limitMs (negative: no limit). done() is checked
  // at once, whenever wake() is called, and at least every checkMs. Answers true when done()
  // became true; false when the limit passed or shutdown() was called.
  virtual bool waitUntil(const std::function<bool()>& done, int checkMs, int limitMs) = 0;

  // Waits until the steady-clock instant that deadline() names, as exactly as the system
  // allows (about a millisecond): a deadline, not a sum of sleeps. deadline() is read again
  // whenever wake() is called, so the instant may move while the wait lasts. Answers true at
  // the instant; false when cancel() holds (checked at once, on every wake() and at the end),
  // when deadline() names nothing, or at shutdown(). The default checks every millisecond.
  using Deadline = std::function<std::optional<std::chrono::steady_clock::time_point>()>;
  virtual bool sleepUntil(const Deadline& deadline, const std::function<bool()>& cancel) {
    bool arrived = false;
    waitUntil(
        [&] {
          const auto at = deadline();
          if (cancel() || !at) {
            return true;
          }
          arrived = std::chrono::steady_clock::now() >= *at;
          return arrived;
        },
        1, -1);
    return arrived && !closing();
  }

  // Something a waitUntil() may be waiting for has changed: check again now.
  virtual void wake() = 0;

  // The controller is closing: every wait ends now, and every later one returns at once.
  virtual void shutdown() = 0;
  virtual bool closing() const = 0;
};
