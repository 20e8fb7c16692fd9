#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// One thread that runs the operator's actions (button presses, scripts, reviews) one after the
// other, in the order posted, so the window never waits on the deck. An error escaping an
// action is handed to the report function as one line and the next action runs.
//
// Some actions are runs: sequences with waits (a script, a review, RevALL, a jog sequence). The
// operator can take a run over: takeover() asks the running run to end (interrupted() turns
// true until the next action starts; the run's waits and loops check it), drops what was
// queued behind it, and puts its own action next.
class OperatorWorker {
 public:
  using Report = std::function<void(const std::string&)>;

  explicit OperatorWorker(Report report);
  ~OperatorWorker();
  OperatorWorker(const OperatorWorker&) = delete;
  OperatorWorker& operator=(const OperatorWorker&) = delete;

  // Queues the action; ignored once stop() was called. `run` marks a run the operator can take
  // over.
  void post(std::function<void()> action, bool run = false);
  // The operator's own action. When a run is running or queued, the running run is asked to end
  // and every queued action but the operator's earlier ones is dropped; the action then runs
  // next. Otherwise it is queued like any other. Answers true when a running run was asked to
  // end (the caller then wakes that run's waits).
  bool takeover(std::function<void()> action, bool run = false);
  // The running run was taken over. Cleared when the next action starts.
  bool interrupted() const { return interrupted_.load(); }
  const std::atomic<bool>& interruptFlag() const { return interrupted_; }
  // Drops the queued actions, lets the running one finish (its owner ends its waits) and joins.
  void stop();
  bool onWorkerThread() const;
  // True when nothing is queued or running (for tests that wait for the worker to drain).
  bool idle() const;

 private:
  struct Entry {
    std::function<void()> action;
    bool run = false;
    bool operatorsOwn = false;
  };
  void push(Entry entry);
  void run(std::stop_token token);

  Report report_;
  mutable std::mutex mutex_;
  std::condition_variable_any cv_;
  std::deque<Entry> queue_;
  bool running_ = false;
  bool runningIsRun_ = false;
  bool stopped_ = false;
  std::atomic<bool> interrupted_{false};
  std::jthread thread_;  // last: starts after every other member exists
};
