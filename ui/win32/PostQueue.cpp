#include "ui/win32/PostQueue.h"

#include <iostream>

void PostQueue::attach(HWND window) {
  std::lock_guard lock(mutex_);
  window_ = window;
}

void PostQueue::post(std::function<void()> fn) {
  std::lock_guard lock(mutex_);
  if (window_ == nullptr) {
    return;
  }
  queue_.push_back(std::move(fn));
  if (!woken_) {
    woken_ = PostMessageW(window_, kMessage, 0, 0) != 0;
  }
}

std::size_t PostQueue::runPending() {
  std::vector<std::function<void()>> work;
  {
    std::lock_guard lock(mutex_);
    work.swap(queue_);
    woken_ = false;
  }
  for (auto& fn : work) {
    try {
      fn();
    } catch (const std::exception& e) {
      std::cout << "Window error: " << e.what() << std::endl;
    }
  }
  return work.size();
}

void PostQueue::close() {
  std::lock_guard lock(mutex_);
  window_ = nullptr;
  queue_.clear();
}
