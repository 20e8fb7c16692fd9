#include "ui/win32/EditCtrl.h"

#include <commctrl.h>

#include "ui/win32/Window.h"

bool EditCtrl::create(Window& window, const std::string& text, int x, int y, int width,
                      int height) {
  if (!createChild(window, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, text, x, y,
                   width, height)) {
    return false;
  }
  setMargins();
  // Enter reaches the field (a plain edit beeps at it) through its own window procedure.
  SetWindowSubclass(hwnd(), &EditCtrl::subclass, 1, reinterpret_cast<DWORD_PTR>(this));
  return true;
}

void EditCtrl::setFont(const Font& font) {
  Control::setFont(font);  // a new font brings the font's own margins back
  setMargins();
}

void EditCtrl::setMargins() {
  const int m = window()->scale(1);
  SendMessageW(hwnd(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(m, m));
}

SIZE EditCtrl::textRoom() const {
  RECT r{};
  SendMessageW(hwnd(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
  return {r.right - r.left - 1, r.bottom - r.top};
}

void EditCtrl::setReadOnly(bool on) {
  SendMessageW(hwnd(), EM_SETREADONLY, on ? TRUE : FALSE, 0);
}

bool EditCtrl::isReadOnly() const {
  return (GetWindowLongPtrW(hwnd(), GWL_STYLE) & ES_READONLY) != 0;
}

void EditCtrl::onCommand(int code) {
  if (code == EN_CHANGE && !settingText_ && onEdited_) {
    onEdited_(text());
  }
}

LRESULT CALLBACK EditCtrl::subclass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                    DWORD_PTR self) {
  auto* edit = reinterpret_cast<EditCtrl*>(self);
  switch (msg) {
    case WM_GETDLGCODE:
      if (lp != 0 && reinterpret_cast<const MSG*>(lp)->message == WM_KEYDOWN &&
          reinterpret_cast<const MSG*>(lp)->wParam == VK_RETURN) {
        return DLGC_WANTALLKEYS | DefSubclassProc(hwnd, msg, wp, lp);
      }
      break;
    case WM_KEYDOWN:
      if (wp == VK_RETURN) {
        if (edit->onEnter_) {
          edit->onEnter_();
        }
        return 0;
      }
      break;
    case WM_CHAR:
      if (wp == '\r' || wp == '\n') {
        return 0;  // no beep
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, &EditCtrl::subclass, 1);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}
