#include "ui/win32/ScrollBarCtrl.h"

#include <algorithm>

bool ScrollBarCtrl::create(Window& window, bool horizontal, int x, int y, int width, int height) {
  return createChild(window, L"SCROLLBAR", horizontal ? SBS_HORZ : SBS_VERT, 0, "", x, y, width,
                     height);
}

void ScrollBarCtrl::setRange(int minimum, int maximum, int page, int step) {
  minimum_ = minimum;
  maximum_ = std::max(minimum, maximum);
  page_ = std::max(1, page);
  step_ = std::max(1, step);
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE;
  si.nMin = minimum_;
  si.nMax = maximum_ + page_ - 1;  // the thumb's start reaches maximum
  si.nPage = static_cast<UINT>(page_);
  SetScrollInfo(hwnd(), SB_CTL, &si, TRUE);
}

int ScrollBarCtrl::value() const {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_POS;
  GetScrollInfo(hwnd(), SB_CTL, &si);
  return si.nPos;
}

void ScrollBarCtrl::setValue(int v) {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_POS;
  si.nPos = std::clamp(v, minimum_, maximum_);
  SetScrollInfo(hwnd(), SB_CTL, &si, TRUE);
}

void ScrollBarCtrl::moveTo(int v) {
  v = std::clamp(v, minimum_, maximum_);
  if (v == value()) {
    return;
  }
  setValue(v);
  if (onChange_) {
    onChange_(v);
  }
}

void ScrollBarCtrl::onScroll(int code) {
  const int v = value();
  switch (code) {
    case SB_LINEUP:
      moveTo(v - step_);
      break;
    case SB_LINEDOWN:
      moveTo(v + step_);
      break;
    case SB_PAGEUP:
      moveTo(v - page_);
      break;
    case SB_PAGEDOWN:
      moveTo(v + page_);
      break;
    case SB_TOP:
      moveTo(minimum_);
      break;
    case SB_BOTTOM:
      moveTo(maximum_);
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_TRACKPOS;
      GetScrollInfo(hwnd(), SB_CTL, &si);
      moveTo(si.nTrackPos);
      break;
    }
    default:
      break;
  }
}
