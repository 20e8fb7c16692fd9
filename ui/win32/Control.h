#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "ui/win32/Colour.h"
#include "ui/win32/Font.h"

class Window;

// One child control of a Window, made with CreateWindowExW. Texts are UTF-8 here and wide only
// in the calls. Positions and sizes are the window's design pixels (96 dpi), scaled by the
// window. The control belongs to its window's thread: call it only there (other threads post).
// The window destroys the control's HWND with itself; the object must live as long.
class Control {
 public:
  Control() = default;
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  HWND hwnd() const { return hwnd_; }
  int id() const { return id_; }
  Window* window() const { return window_; }

  void setText(const std::string& utf8);
  // Leaves the control alone when it already shows the text (no repaint, no flicker).
  void setTextIfChanged(const std::string& utf8);
  std::string text() const;
  void setEnabled(bool on);
  bool isEnabled() const;
  void setVisible(bool on);
  // The control shows its text in the font; the caller keeps the font while it is shown.
  virtual void setFont(const Font& font);
  // The room the control has for one line of text in its current font, in screen pixels: its
  // client area, less what each kind of control keeps around its text.
  virtual SIZE textRoom() const;
  // Gives the control the largest font of the family, from `preferred` design pixels down to 6,
  // in which each of the texts fits its room, measured with the Win32 font metrics (TextFit).
  // Answers that font, which the caller keeps while the control shows it.
  Font fitFont(const std::string& family, int preferred, bool bold,
               const std::vector<std::string>& texts);
  void setFocus();
  // Design-pixel bounds within the window's client area.
  void setBounds(int x, int y, int width, int height);
  RECT bounds() const { return bounds_; }
  // Text and background colours; without them the system's colours apply.
  void setColours(Colour text, Colour background);
  void setTextColour(Colour text);

  // For the window: the brush and colours for WM_CTLCOLOR*, or null for the defaults.
  HBRUSH paintColours(HDC dc) const;
  // For the window: a notification for this control (WM_COMMAND code, WM_NOTIFY or scroll).
  virtual void onCommand(int /*code*/) {}
  virtual void onScroll(int /*code*/) {}
  virtual bool onDrawItem(const DRAWITEMSTRUCT& /*item*/) { return false; }

 protected:
  // Makes the HWND as a child of the window and registers it there.
  bool createChild(Window& window, const wchar_t* className, DWORD style, DWORD exStyle,
                   const std::string& text, int x, int y, int width, int height);
  // Set while the program changes the text, so a text-changed notification is not an edit.
  bool settingText_ = false;
  std::optional<Colour> textColour_;
  std::optional<Colour> background_;

 private:
  HWND hwnd_ = nullptr;
  int id_ = 0;
  Window* window_ = nullptr;
  RECT bounds_{};
  HBRUSH brush_ = nullptr;
};
