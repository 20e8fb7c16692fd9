#include "ui/win32/Clipboard.h"

#include <cstring>

#include "app/NativeFile.h"
#include "ui/win32/Window.h"

bool Clipboard::setText(const Window& owner, const std::string& utf8) {
  const std::wstring w = NativeFile::wide(utf8);
  const std::size_t bytes = (w.size() + 1) * sizeof(wchar_t);
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (mem == nullptr) {
    return false;
  }
  void* p = GlobalLock(mem);
  std::memcpy(p, w.c_str(), bytes);
  GlobalUnlock(mem);
  if (!OpenClipboard(owner.hwnd())) {
    GlobalFree(mem);
    return false;
  }
  EmptyClipboard();
  const bool ok = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
  CloseClipboard();
  if (!ok) {
    GlobalFree(mem);  // the clipboard owns the memory only when it took it
  }
  return ok;
}

std::string Clipboard::text(const Window& owner) {
  if (!OpenClipboard(owner.hwnd())) {
    return {};
  }
  std::string out;
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT); h != nullptr) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(h)); p != nullptr) {
      out = NativeFile::utf8(p);
      GlobalUnlock(h);
    }
  }
  CloseClipboard();
  return out;
}
