#pragma once

// While it lives, the calling thread runs at the system's real-time scheduling, where the system
// grants it: on Linux SCHED_FIFO at its lowest priority (root, or a user with an rtprio limit),
// on Windows the time-critical thread priority. A thread that wakes for a deadline then starts
// within a fraction of a millisecond, however busy the machine, instead of waiting its turn
// behind every other runnable thread. Where the system refuses, nothing changes. The
// destructor puts back what the thread had.
//
// Keep the scope short and free of busy waits that have no end: a real-time thread that never
// sleeps starves the rest of its core.
class TimeCritical {
 public:
  TimeCritical();
  ~TimeCritical();
  TimeCritical(const TimeCritical&) = delete;
  TimeCritical& operator=(const TimeCritical&) = delete;

  bool raised() const { return raised_; }

 private:
  bool raised_ = false;
  int policy_ = 0;    // what the thread had: scheduling policy (POSIX) or priority (Windows)
  int priority_ = 0;  // and its priority within the policy (POSIX)
};
