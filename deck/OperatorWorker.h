#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// One thread that runs the operator's actions (button presses, scripts, reviews) one after the
// other, in the order posted, so the window never waits on the deck. An error escaping an
// action is handed to the report function as one line and the next action runs.
class OperatorWorker {
 public:
  using Report = std::function<void(const std::string&)>;

  explicit OperatorWorker(Report report);
  ~OperatorWorker();
  OperatorWorker(const OperatorWorker&) = delete;
  OperatorWorker& operator=(const OperatorWorker&) = delete;

  // Queues the action; ignored once stop() was called.
  void post(std::function<void()> action);
  // Drops the queued actions, lets the running one finish (its owner ends its waits) and joins.
  void stop();
  bool onWorkerThread() const;
  // True when nothing is queued or running (for tests that wait for the worker to drain).
  bool idle() const;

 private:
  void run(std::stop_token token);

  Report report_;
  mutable std::mutex mutex_;
  std::condition_variable_any cv_;
  std::deque<std::function<void()>> queue_;
  bool running_ = false;
  bool stopped_ = false;
  std::jthread thread_;  // last: starts after every other member exists
};
