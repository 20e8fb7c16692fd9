#pragma once

#include <functional>
#include <string>

class ConverterPresenter;

// A converter window on Windows: a Win32 view over ConverterPresenter, one per press of the
// control window's converter button. It owns itself: open() makes and shows one, and it is
// deleted when its window is destroyed, after `onClosed` ran with its address.
class ConverterWindow {
 public:
  // The file dialog: (title, start folder, save) -> the chosen UTF-8 path, "" when cancelled.
  // Unset, the system's dialogs ask; tests set it so that no dialog blocks.
  using Chooser =
      std::function<std::string(const std::string& title, const std::string& folder, bool save)>;
  static inline Chooser chooser;

  // Opens a converter window; null when the window could not be made.
  static ConverterWindow* open(std::function<void(ConverterWindow*)> onClosed);
  virtual void close() = 0;
  // Runs a button's command as its press does ("load", "auto", "next", "save", ...).
  virtual void command(const std::string& command) = 0;
  // The decisions behind the window (tests read the converter through them).
  virtual ConverterPresenter& presenter() = 0;
  // True while a converter pause holds the controls locked.
  virtual bool waiting() const = 0;

 protected:
  virtual ~ConverterWindow() = default;
};
