#pragma once

#include <functional>

// A converter window on Windows: a Win32 view over ConverterPresenter, one per press of the
// control window's converter button. It owns itself: open() makes and shows one, and it is
// deleted when its window is destroyed, after `onClosed` ran with its address.
class ConverterWindow {
 public:
  // Opens a converter window; null when the window could not be made.
  static ConverterWindow* open(std::function<void(ConverterWindow*)> onClosed);
  virtual void close() = 0;

 protected:
  virtual ~ConverterWindow() = default;
};
