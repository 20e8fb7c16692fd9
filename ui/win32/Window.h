#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/win32/Colour.h"
#include "ui/win32/Font.h"
#include "ui/win32/PostQueue.h"

class Control;

// A top-level window whose window procedure forwards to members: commands, owner drawing,
// colours and scrolling go to the control they concern; painting fills the background and the
// red highlight bars; WM_CLOSE calls onClose. Subclasses build their controls in create's
// aftermath and override what they handle. Everything but post() runs on the window's thread.
class Window {
 public:
  Window();
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Makes the window with a client area of the given design size (scaled for the screen). Not
  // shown yet. False when the system refuses (no display).
  bool create(const std::string& title, int clientWidth, int clientHeight, Colour background,
              bool resizable = false, Window* owner = nullptr);
  void show();
  void setTitle(const std::string& utf8);
  void setClientSize(int width, int height);
  void setPosition(int x, int y);
  void raise();
  // Asks the window to close, as the operator's close box does (WM_CLOSE, handled later).
  void requestClose();
  HWND hwnd() const { return hwnd_; }

  // The screen's dots per inch and a design pixel (96 dpi) in screen pixels.
  int dpi() const { return dpi_; }
  int scale(int designPixels) const { return MulDiv(designPixels, dpi_, 96); }
  // The size of the window's own font (Helvetica) until setFont, in design pixels.
  static constexpr int kFontPixels = 13;
  // A font for this window's screen; the window's own font is the controls' default.
  Font makeFont(const std::string& family, int pixels, bool bold = false) const;
  void setFont(Font font) { font_ = std::move(font); }
  const Font& font() const { return font_; }

  // From any thread: runs fn on the window's thread, in order of posting, without waiting.
  void post(std::function<void()> fn) { queue_.post(std::move(fn)); }

  // A red bar of 2 design pixels above the control, as the deck's status lights one.
  void setHighlight(const Control& control, bool on);
  bool highlighted(const Control& control) const;

  // For the controls.
  int nextControlId() { return nextId_++; }
  void remember(Control& control);
  void forget(Control& control);

  // The message loop of the program's window thread; ends on WM_QUIT with its exit code.
  // Keys go first to the window that has the focus (onKey), then to dialog navigation (Tab).
  static int runMessageLoop();

 protected:
  // WM_CLOSE: by default the window is destroyed.
  virtual void onClose();
  // WM_DESTROY, after the queue is closed.
  virtual void onDestroy() {}
  // A key pressed while this window or one of its controls has the focus; true when taken.
  // inEdit tells whether an editable text field has the focus.
  virtual bool onKey(UINT /*virtualKey*/, bool /*inEdit*/, bool /*repeat*/) { return false; }
  // WM_ENDSESSION with the session really ending (log-off, shut-down).
  virtual void onEndSession() {}
  // Any other message; true when handled, with the result.
  virtual bool onMessage(UINT /*msg*/, WPARAM /*wp*/, LPARAM /*lp*/, LRESULT& /*result*/) {
    return false;
  }
  void destroy();

 private:
  static LRESULT CALLBACK procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
  Control* controlOf(HWND child) const;
  void paint();
  RECT barRect(const Control& control) const;

  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  int nextId_ = 100;
  Colour background_;
  HBRUSH backgroundBrush_ = nullptr;
  Font font_;
  PostQueue queue_;
  std::map<HWND, Control*> controls_;
  std::vector<const Control*> highlighted_;
};
