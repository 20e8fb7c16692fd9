#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

class Control;
class Window;

// The tooltips of one window: a text shown when the pointer rests on a control.
class TooltipCtrl {
 public:
  TooltipCtrl() = default;
  ~TooltipCtrl();
  TooltipCtrl(const TooltipCtrl&) = delete;
  TooltipCtrl& operator=(const TooltipCtrl&) = delete;

  bool create(Window& window);
  void add(const Control& control, const std::string& text);
  HWND hwnd() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
  HWND owner_ = nullptr;
};
