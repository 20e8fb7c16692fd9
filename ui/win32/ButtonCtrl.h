#pragma once

#include <functional>
#include <string>

#include "ui/win32/Control.h"

// A push button drawn by the program, so that its face and text take the colours the window
// gives it (light gray, dark gray when locked, red text for REC and SCRIPT). A press runs the
// click handler on the window thread.
class ButtonCtrl : public Control {
 public:
  bool create(Window& window, const std::string& label, int x, int y, int width, int height);
  void onClick(std::function<void()> handler) { onClick_ = std::move(handler); }
  // Presses the button as the operator would (tests, keys that stand for a button).
  void click();

  void onCommand(int code) override;
  bool onDrawItem(const DRAWITEMSTRUCT& item) override;
  // The face inside the raised edge, less the pixel the text moves when pressed, and for
  // buttons wider than 30 design pixels 2 more either side so the text stays off the edge.
  SIZE textRoom() const override;

 private:
  std::function<void()> onClick_;
};
