#include "serial/port/FlowControlTask.h"

#include <iostream>
#include <utility>

FlowControlTask::FlowControlTask(std::shared_ptr<SerialDriver> driver, int portNum)
    : driver_(std::move(driver)), portNum_(portNum) {
  std::cout << "FlowControlTask created\n" << std::flush;
}

FlowControlTask::~FlowControlTask() {
  stop();
}

void FlowControlTask::start() {
  if (thread_.joinable()) {
    return;
  }
  thread_ = std::jthread([this](std::stop_token st) { run(st); });
}

void FlowControlTask::run(std::stop_token stop) {
  priority_ = priority_ + 1;
  while (!stop.stop_requested()) {
    driver_->SerFlowTask(portNum_);
  }
}

void FlowControlTask::stop() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
}
