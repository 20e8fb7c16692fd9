#include "ui/win32/TextAreaCtrl.h"

#include "app/NativeFile.h"

namespace {

std::string toCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      out += '\r';
    }
    out += text[i];
  }
  return out;
}

std::string fromCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

bool TextAreaCtrl::create(Window& window, int x, int y, int width, int height, bool readOnly) {
  return createChild(
      window, L"EDIT",
      ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP | (readOnly ? ES_READONLY : 0),
      WS_EX_CLIENTEDGE, "", x, y, width, height);
}

void TextAreaCtrl::setAreaText(const std::string& text) {
  setText(toCrLf(text));
}

std::string TextAreaCtrl::areaText() const {
  return fromCrLf(text());
}

void TextAreaCtrl::append(const std::string& text) {
  const int end = GetWindowTextLengthW(hwnd());
  SendMessageW(hwnd(), EM_SETSEL, end, end);
  settingText_ = true;
  SendMessageW(hwnd(), EM_REPLACESEL, FALSE,
               reinterpret_cast<LPARAM>(NativeFile::wide(toCrLf(text)).c_str()));
  settingText_ = false;
}

void TextAreaCtrl::scrollToEnd() {
  SendMessageW(hwnd(), WM_VSCROLL, SB_BOTTOM, 0);
}

int TextAreaCtrl::firstVisibleLine() const {
  return static_cast<int>(SendMessageW(hwnd(), EM_GETFIRSTVISIBLELINE, 0, 0));
}

void TextAreaCtrl::scrollToLine(int line) {
  SendMessageW(hwnd(), EM_LINESCROLL, 0, line - firstVisibleLine());
}
