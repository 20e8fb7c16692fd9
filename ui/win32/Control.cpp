#include "ui/win32/Control.h"

#include <algorithm>
#include <climits>

#include "app/NativeFile.h"
#include "ui/core/TextFit.h"
#include "ui/win32/Window.h"

Control::~Control() {
  if (window_ != nullptr) {
    window_->forget(*this);
  }
  if (brush_ != nullptr) {
    DeleteObject(brush_);
  }
}

bool Control::createChild(Window& window, const wchar_t* className, DWORD style, DWORD exStyle,
                          const std::string& text, int x, int y, int width, int height) {
  window_ = &window;
  id_ = window.nextControlId();
  bounds_ = {x, y, x + width, y + height};
  hwnd_ = CreateWindowExW(
      exStyle, className, NativeFile::wide(text).c_str(), style | WS_CHILD | WS_VISIBLE,
      window.scale(x), window.scale(y), window.scale(width), window.scale(height), window.hwnd(),
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), GetModuleHandleW(nullptr), nullptr);
  if (hwnd_ == nullptr) {
    return false;
  }
  window.remember(*this);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(window.font().handle()), FALSE);
  return true;
}

void Control::setText(const std::string& utf8) {
  settingText_ = true;
  SetWindowTextW(hwnd_, NativeFile::wide(utf8).c_str());
  settingText_ = false;
}

void Control::setTextIfChanged(const std::string& utf8) {
  if (text() != utf8) {
    setText(utf8);
  }
}

std::string Control::text() const {
  const int n = GetWindowTextLengthW(hwnd_);
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd_, w.data(), n + 1);
  w.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return NativeFile::utf8(w);
}

void Control::setEnabled(bool on) {
  EnableWindow(hwnd_, on ? TRUE : FALSE);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

bool Control::isEnabled() const {
  return IsWindowEnabled(hwnd_) != 0;
}

void Control::setVisible(bool on) {
  ShowWindow(hwnd_, on ? SW_SHOW : SW_HIDE);
}

void Control::setFont(const Font& font) {
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font.handle()), TRUE);
}

SIZE Control::textRoom() const {
  RECT r{};
  GetClientRect(hwnd_, &r);
  return {r.right - r.left, r.bottom - r.top};
}

Font Control::fitFont(const std::string& family, int preferred, bool bold,
                      const std::vector<std::string>& texts) {
  std::vector<Font> tried;
  HDC dc = GetDC(hwnd_);
  // Measured against a room of 0: how far the widest text overflows the control's room.
  const int size = TextFit::size(preferred, 6, 0, [&](int s) {
    Font& font = tried.emplace_back(window_->makeFont(family, s, bold));
    // The room may change with the font (a field's margins follow it): ask at each size.
    setFont(font);
    const SIZE room = textRoom();
    HGDIOBJ old = SelectObject(dc, font.handle());
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    int overflow = tm.tmHeight > room.cy ? INT_MAX : INT_MIN;  // too tall fits at no width
    for (const std::string& text : texts) {
      const std::wstring w = NativeFile::wide(text);
      SIZE ext{};
      GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &ext);
      overflow = std::max(overflow, static_cast<int>(ext.cx - room.cx));
    }
    SelectObject(dc, old);
    return overflow;
  });
  ReleaseDC(hwnd_, dc);
  Font chosen = window_->makeFont(family, size, bold);
  setFont(chosen);
  return chosen;
}

void Control::setFocus() {
  SetFocus(hwnd_);
}

void Control::setBounds(int x, int y, int width, int height) {
  bounds_ = {x, y, x + width, y + height};
  MoveWindow(hwnd_, window_->scale(x), window_->scale(y), window_->scale(width),
             window_->scale(height), TRUE);
}

void Control::setColours(Colour text, Colour background) {
  textColour_ = text;
  if (!background_ || !(*background_ == background)) {
    background_ = background;
    if (brush_ != nullptr) {
      DeleteObject(brush_);
    }
    brush_ = CreateSolidBrush(RGB(background.r, background.g, background.b));
  }
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Control::setTextColour(Colour text) {
  textColour_ = text;
  InvalidateRect(hwnd_, nullptr, TRUE);
}

HBRUSH Control::paintColours(HDC dc) const {
  if (textColour_) {
    SetTextColor(dc, RGB(textColour_->r, textColour_->g, textColour_->b));
  }
  if (background_ == std::nullopt) {
    return nullptr;
  }
  SetBkColor(dc, RGB(background_->r, background_->g, background_->b));
  return brush_;
}
