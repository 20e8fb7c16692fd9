#pragma once

#include <functional>

#include "ui/win32/Control.h"

// A scroll bar control (the shuttle bar, the logger's list). Values run from minimum to maximum
// with the thumb a page long, so the thumb reaches maximum (as the Qt bars count). onChange
// reports each value the operator moves it to, dragging included; setValue does not.
class ScrollBarCtrl : public Control {
 public:
  bool create(Window& window, bool horizontal, int x, int y, int width, int height);
  void setRange(int minimum, int maximum, int page, int step = 1);
  int value() const;
  void setValue(int v);
  void onChange(std::function<void(int)> handler) { onChange_ = std::move(handler); }

  void onScroll(int code) override;

 private:
  void moveTo(int v);

  int minimum_ = 0;
  int maximum_ = 99;
  int page_ = 10;
  int step_ = 1;
  std::function<void(int)> onChange_;
};
