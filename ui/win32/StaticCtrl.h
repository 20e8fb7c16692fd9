#pragma once

#include <string>

#include "ui/win32/Control.h"

// A text label; without colours of its own it stands on the window's background.
class StaticCtrl : public Control {
 public:
  bool create(Window& window, const std::string& text, int x, int y, int width, int height);
};
