#pragma once

#include <string>

#include "ui/win32/Control.h"

// A multi-line text area with a vertical scroll bar and word wrap. Texts use '\n' line ends
// here; the control's CR LF stays inside.
class TextAreaCtrl : public Control {
 public:
  bool create(Window& window, int x, int y, int width, int height, bool readOnly);
  void setAreaText(const std::string& text);
  std::string areaText() const;
  void append(const std::string& text);
  void scrollToEnd();
  // The first line shown, and shows the given line first.
  int firstVisibleLine() const;
  void scrollToLine(int line);
};
