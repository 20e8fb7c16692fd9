#include "ui/win32/TooltipCtrl.h"

#include <commctrl.h>

#include "app/NativeFile.h"
#include "ui/win32/Control.h"
#include "ui/win32/Window.h"

TooltipCtrl::~TooltipCtrl() {
  if (hwnd_ != nullptr && IsWindow(hwnd_)) {
    DestroyWindow(hwnd_);
  }
}

bool TooltipCtrl::create(Window& window) {
  owner_ = window.hwnd();
  hwnd_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner_,
                          nullptr, GetModuleHandleW(nullptr), nullptr);
  if (hwnd_ == nullptr) {
    return false;
  }
  SendMessageW(hwnd_, TTM_SETMAXTIPWIDTH, 0, window.scale(400));
  return true;
}

void TooltipCtrl::add(const Control& control, const std::string& text) {
  if (hwnd_ == nullptr) {
    return;
  }
  std::wstring w = NativeFile::wide(text);
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = owner_;
  ti.uId = reinterpret_cast<UINT_PTR>(control.hwnd());
  ti.lpszText = w.data();
  SendMessageW(hwnd_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}
