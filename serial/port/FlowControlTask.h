#pragma once

#include <atomic>
#include <memory>
#include <stop_token>
#include <thread>

#include "serial/port/SerialDriver.h"

// Runs the driver's flow-control pass for one port over and over on its own thread, for
// drivers that need the host to move the handshake lines. It holds the driver and the port's
// handle rather than the port object, so the port may move while the task runs. The thread
// stops and is joined when the task is destroyed.
class FlowControlTask {
 public:
  // Prints "FlowControlTask created".
  FlowControlTask(std::shared_ptr<SerialDriver> driver, int portNum);
  ~FlowControlTask();
  FlowControlTask(const FlowControlTask&) = delete;
  FlowControlTask& operator=(const FlowControlTask&) = delete;

  // Starts the thread running run().
  void start();
  // Raises the priority by one, then calls the driver's pass until a stop is requested.
  void run(std::stop_token stop);
  void stop();
  bool running() const { return thread_.joinable(); }
  int getPortNum() const { return portNum_; }

  // A relative priority; kept for callers that ask for it. Threads of ordinary users cannot
  // raise their scheduling priority on POSIX systems, so it is not applied to the thread.
  void setFlowPriority(int priority) { priority_ = priority; }
  int getFlowPriority() const { return priority_; }

 private:
  std::shared_ptr<SerialDriver> driver_;
  int portNum_;
  std::atomic<int> priority_{0};
  std::jthread thread_;
};
