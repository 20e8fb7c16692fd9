#pragma once

#include <functional>
#include <string>

#include "ui/win32/Control.h"

// A check box. onToggle reports the operator's changes; setChecked does not.
class CheckBoxCtrl : public Control {
 public:
  bool create(Window& window, const std::string& label, int x, int y, int width, int height);
  bool isChecked() const;
  void setChecked(bool on);
  void onToggle(std::function<void(bool)> handler) { onToggle_ = std::move(handler); }

  void onCommand(int code) override;
  // Beside the box: the box and a gap of half a digit come off the client area.
  SIZE textRoom() const override;

 private:
  std::function<void(bool)> onToggle_;
};
