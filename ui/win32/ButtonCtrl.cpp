#include "ui/win32/ButtonCtrl.h"

#include "app/NativeFile.h"
#include "ui/win32/Window.h"

bool ButtonCtrl::create(Window& window, const std::string& label, int x, int y, int width,
                        int height) {
  if (!createChild(window, L"BUTTON", BS_OWNERDRAW | WS_TABSTOP, 0, label, x, y, width, height)) {
    return false;
  }
  setColours({0, 0, 0}, {192, 192, 192});
  return true;
}

SIZE ButtonCtrl::textRoom() const {
  const SIZE client = Control::textRoom();
  const int pad = bounds().right - bounds().left > 30 ? window()->scale(2) : 0;
  return {client.cx - 2 * (GetSystemMetrics(SM_CXEDGE) + pad) - 1,
          client.cy - 2 * GetSystemMetrics(SM_CYEDGE) - 1};
}

void ButtonCtrl::click() {
  if (isEnabled() && onClick_) {
    onClick_();
  }
}

void ButtonCtrl::onCommand(int code) {
  if (code == BN_CLICKED) {
    click();
  }
}

bool ButtonCtrl::onDrawItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const Colour face = background_.value_or(Colour{192, 192, 192});
  HBRUSH brush = CreateSolidBrush(RGB(face.r, face.g, face.b));
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  DrawEdge(dc, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  if (pressed) {
    OffsetRect(&r, 1, 1);
  }
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const Colour ink = disabled ? Colour{128, 128, 128} : textColour_.value_or(Colour{});
  SetTextColor(dc, RGB(ink.r, ink.g, ink.b));
  SetBkMode(dc, TRANSPARENT);
  const std::wstring label = NativeFile::wide(text());
  DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &r,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if ((item.itemState & ODS_FOCUS) != 0) {
    RECT f = item.rcItem;
    InflateRect(&f, -3, -3);
    DrawFocusRect(dc, &f);
  }
  return true;
}
