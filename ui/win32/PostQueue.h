#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <functional>
#include <mutex>
#include <vector>

// Work handed to a window's thread from any thread: the function joins a locked queue and one
// WM_APP message wakes the window, whose thread then runs everything queued, in order. Posting
// never waits for the window thread and never touches a control; after close() (the window is
// going) posts are dropped.
class PostQueue {
 public:
  static constexpr UINT kMessage = WM_APP + 1;

  void attach(HWND window);
  void post(std::function<void()> fn);
  // On the window thread, for kMessage: runs what was queued. Answers how many ran.
  std::size_t runPending();
  void close();

 private:
  std::mutex mutex_;
  HWND window_ = nullptr;
  bool woken_ = false;  // a message is on its way: further posts only join the queue
  std::vector<std::function<void()>> queue_;
};
