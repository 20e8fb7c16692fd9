#include "ui/win32/MessageWindow.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "app/NativeFile.h"

namespace {

// The message box runs its own message loop on this thread; the timer's message reaches this
// procedure through it, and closing the box (as its close box does) ends that loop.
void CALLBACK closeMessageBoxes(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND h, LPARAM) -> BOOL {
        wchar_t cls[16] = {};
        GetClassNameW(h, cls, 16);
        if (lstrcmpW(cls, L"#32770") == 0) {  // the dialog class of message boxes
          PostMessageW(h, WM_CLOSE, 0, 0);
        }
        return TRUE;
      },
      0);
}

}  // namespace

bool MessageWindow::show(const std::string& title, const std::string& text, int ms, bool warning) {
  const UINT_PTR timer =
      ms > 0 ? SetTimer(nullptr, 0, static_cast<UINT>(ms), closeMessageBoxes) : 0;
  const int answer = MessageBoxW(
      nullptr, NativeFile::wide(text).c_str(), NativeFile::wide(title).c_str(),
      MB_OK | (warning ? MB_ICONWARNING : MB_ICONINFORMATION) | MB_SETFOREGROUND | MB_TASKMODAL);
  if (timer != 0) {
    KillTimer(nullptr, timer);
  }
  return answer != 0;
}
