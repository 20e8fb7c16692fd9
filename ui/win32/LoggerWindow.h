#pragma once

#include <functional>
#include <string>

class LocalVCR;
class LoggerPresenter;

// The clip logger window on Windows: a Win32 view over LoggerPresenter. It owns itself: open()
// makes and shows one, and it is deleted when its window is destroyed, after `onClosed` ran.
class LoggerWindow {
 public:
  // The file dialog: (title, save) -> the chosen UTF-8 path, "" when cancelled. Unset, the
  // system's dialogs ask; tests set it so that no dialog blocks.
  using Chooser = std::function<std::string(const std::string& title, bool save)>;
  static inline Chooser chooser;

  // Opens a logger over the controller; null when the window could not be made.
  static LoggerWindow* open(LocalVCR& vcr, std::function<void()> onClosed);
  // Closes it as the operator's close box does (unsaved changes go to a recovery file).
  virtual void close() = 0;
  virtual void raise() = 0;
  // The decisions behind the window (tests drive it through them).
  virtual LoggerPresenter& presenter() = 0;

 protected:
  virtual ~LoggerWindow() = default;
};
