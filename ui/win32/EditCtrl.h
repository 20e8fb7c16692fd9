#pragma once

#include <functional>
#include <string>

#include "ui/win32/Control.h"

// A one-line text field. onEdited reports the operator's changes only (not setText); onEnter
// runs when Enter is pressed in the field.
class EditCtrl : public Control {
 public:
  bool create(Window& window, const std::string& text, int x, int y, int width, int height);
  void setReadOnly(bool on);
  bool isReadOnly() const;
  void onEdited(std::function<void(const std::string&)> handler) { onEdited_ = std::move(handler); }
  void onEnter(std::function<void()> handler) { onEnter_ = std::move(handler); }

  void onCommand(int code) override;
  // Margins of 1 design pixel either side, whatever the font: the text gets the room.
  void setFont(const Font& font) override;
  // The formatting rectangle, less the caret's pixel after the last character (without it a
  // text as wide as the rectangle scrolls its first pixels out of sight).
  SIZE textRoom() const override;

 private:
  void setMargins();
  static LRESULT CALLBACK subclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                   DWORD_PTR self);

  std::function<void(const std::string&)> onEdited_;
  std::function<void()> onEnter_;
};
