#pragma once

#include <string>

// A small message window: the system's message box with a title, a warning or information sign,
// the text and an OK button, which Enter presses. It has no owner, so it gets a
// button of its own on the taskbar even when no other window of the program exists.
class MessageWindow {
 public:
  // Shows the UTF-8 text until the operator closes the window or, when ms > 0, ms milliseconds
  // have passed. False when no window could be shown (no display); then it returns at once.
  static bool show(const std::string& title, const std::string& text, int ms, bool warning = true);
};
