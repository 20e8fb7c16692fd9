#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>

class Window;

// Closes the control window when the console asks the program to end (Ctrl-C, Ctrl-Break, the
// console window closed, log-off, shut-down), so the closing sequence runs as when the operator
// closes it: the handler posts WM_CLOSE and waits until the window reports it has finished
// (closed()), since Windows ends the process once the handler returns for the last three.
// Only one exists at a time: the system's handler has no context but a process-wide pointer.
class ConsoleCloser {
 public:
  explicit ConsoleCloser(Window& window);
  ~ConsoleCloser();
  ConsoleCloser(const ConsoleCloser&) = delete;
  ConsoleCloser& operator=(const ConsoleCloser&) = delete;

  // The window's closing sequence has ended.
  void closed();

 private:
  static BOOL WINAPI handler(DWORD event);

  Window& window_;
  HANDLE done_;
  static std::atomic<ConsoleCloser*> active_;
};
