#include "ui/win32/StaticCtrl.h"

bool StaticCtrl::create(Window& window, const std::string& text, int x, int y, int width,
                        int height) {
  return createChild(window, L"STATIC", SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, 0, text, x, y,
                     width, height);
}
