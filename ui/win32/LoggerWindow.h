#pragma once

#include <functional>

class LocalVCR;

// The clip logger window on Windows: a Win32 view over LoggerPresenter. It owns itself: open()
// makes and shows one, and it is deleted when its window is destroyed, after `onClosed` ran.
class LoggerWindow {
 public:
  // Opens a logger over the controller; null when the window could not be made.
  static LoggerWindow* open(LocalVCR& vcr, std::function<void()> onClosed);
  // Closes it as the operator's close box does (unsaved changes go to a recovery file).
  virtual void close() = 0;
  virtual void raise() = 0;

 protected:
  virtual ~LoggerWindow() = default;
};
