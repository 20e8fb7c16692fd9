#include "deck/OperatorWorker.h"

#include <algorithm>
#include <exception>

OperatorWorker::OperatorWorker(Report report)
    : report_(std::move(report)), thread_([this](std::stop_token token) { run(token); }) {}

OperatorWorker::~OperatorWorker() {
  stop();
}

void OperatorWorker::post(std::function<void()> action, bool run) {
  push(Entry{std::move(action), run, false});
}

void OperatorWorker::push(Entry entry) {
  {
    std::lock_guard lock(mutex_);
    if (stopped_) {
      return;
    }
    queue_.push_back(std::move(entry));
  }
  cv_.notify_one();
}

bool OperatorWorker::takeover(std::function<void()> action, bool run) {
  bool asked = false;
  {
    std::lock_guard lock(mutex_);
    if (stopped_) {
      return false;
    }
    const bool runQueued =
        std::any_of(queue_.begin(), queue_.end(), [](const Entry& e) { return e.run; });
    if ((running_ && runningIsRun_) || runQueued) {
      if (running_ && runningIsRun_) {
        interrupted_.store(true);
        asked = true;
      }
      // The operator has taken over: what waited behind the run goes, but presses of the
      // operator's that are still queued keep their order before this one.
      std::erase_if(queue_, [](const Entry& e) { return !e.operatorsOwn; });
    }
    queue_.push_back(Entry{std::move(action), run, true});
  }
  cv_.notify_one();
  return asked;
}

void OperatorWorker::stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    queue_.clear();
  }
  thread_.request_stop();
  cv_.notify_all();
  if (thread_.joinable() && !onWorkerThread()) {
    thread_.join();
  }
}

bool OperatorWorker::onWorkerThread() const {
  return std::this_thread::get_id() == thread_.get_id();
}

bool OperatorWorker::idle() const {
  std::lock_guard lock(mutex_);
  return queue_.empty() && !running_;
}

void OperatorWorker::run(std::stop_token token) {
  for (;;) {
    std::function<void()> action;
    {
      std::unique_lock lock(mutex_);
      // Woken by post() and stop(). Not the wait that takes the stop token: its stop callback
      // hands over through an atomic wait, which the Windows C++ library can miss, leaving
      // the worker asleep while stop() joins it.
      cv_.wait(lock, [&] { return stopped_ || token.stop_requested() || !queue_.empty(); });
      if (token.stop_requested() || queue_.empty()) {
        return;
      }
      Entry entry = std::move(queue_.front());
      queue_.pop_front();
      action = std::move(entry.action);
      running_ = true;
      runningIsRun_ = entry.run;
      interrupted_.store(false);
    }
    try {
      action();
    } catch (const std::exception& e) {
      report_(e.what());
    } catch (...) {
      report_("unknown error");
    }
    std::lock_guard lock(mutex_);
    running_ = false;
    runningIsRun_ = false;
  }
}
