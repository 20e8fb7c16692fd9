#include "ui/win32/CheckBoxCtrl.h"

bool CheckBoxCtrl::create(Window& window, const std::string& label, int x, int y, int width,
                          int height) {
  return createChild(window, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0, label, x, y, width,
                     height);
}

SIZE CheckBoxCtrl::textRoom() const {
  const SIZE client = Control::textRoom();
  HDC dc = GetDC(hwnd());
  auto* font = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
  SIZE zero{};
  GetTextExtentPoint32W(dc, L"0", 1, &zero);
  SelectObject(dc, old);
  ReleaseDC(hwnd(), dc);
  return {client.cx - GetSystemMetrics(SM_CXMENUCHECK) - zero.cx / 2 - 1, client.cy};
}

bool CheckBoxCtrl::isChecked() const {
  return SendMessageW(hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBoxCtrl::setChecked(bool on) {
  SendMessageW(hwnd(), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckBoxCtrl::onCommand(int code) {
  if (code == BN_CLICKED && onToggle_) {
    onToggle_(isChecked());
  }
}
