#include "ui/win32/Window.h"

#include <algorithm>
#include <iostream>

#include "app/NativeFile.h"
#include "ui/win32/Control.h"

namespace {

const wchar_t* const kClassName = L"OrvaWindow";
// The program's icon in the resource script.
constexpr int kIconId = 1;

bool registerClass() {
  static const bool done = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcW;  // replaced per window once its object is known
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(kIconId));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
  }();
  return done;
}

int screenDpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc != nullptr) {
    ReleaseDC(nullptr, dc);
  }
  return dpi > 0 ? dpi : 96;
}

Window* windowOf(HWND hwnd) {
  wchar_t name[32] = {};
  if (hwnd == nullptr || GetClassNameW(hwnd, name, 32) == 0 || wcscmp(name, kClassName) != 0) {
    return nullptr;
  }
  return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

}  // namespace

Window::Window() = default;

Window::~Window() {
  destroy();
  if (backgroundBrush_ != nullptr) {
    DeleteObject(backgroundBrush_);
  }
}

bool Window::create(const std::string& title, int clientWidth, int clientHeight, Colour background,
                    bool resizable, Window* owner) {
  if (!registerClass()) {
    return false;
  }
  dpi_ = screenDpi();
  background_ = background;
  backgroundBrush_ = CreateSolidBrush(RGB(background.r, background.g, background.b));
  font_ = makeFont("Helvetica", kFontPixels);
  DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  if (!resizable) {
    style &= ~(WS_THICKFRAME | WS_MAXIMIZEBOX);
  }
  RECT r{0, 0, scale(clientWidth), scale(clientHeight)};
  AdjustWindowRectEx(&r, style, FALSE, 0);
  hwnd_ = CreateWindowExW(0, kClassName, NativeFile::wide(title).c_str(), style, CW_USEDEFAULT,
                          CW_USEDEFAULT, r.right - r.left, r.bottom - r.top,
                          owner != nullptr ? owner->hwnd() : nullptr, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  if (hwnd_ == nullptr) {
    return false;
  }
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::procedure));
  queue_.attach(hwnd_);
  return true;
}

void Window::show() {
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
}

void Window::setTitle(const std::string& utf8) {
  SetWindowTextW(hwnd_, NativeFile::wide(utf8).c_str());
}

void Window::setClientSize(int width, int height) {
  RECT r{0, 0, scale(width), scale(height)};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE, 0);
  SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::setPosition(int x, int y) {
  SetWindowPos(hwnd_, nullptr, scale(x), scale(y), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void Window::raise() {
  if (IsIconic(hwnd_)) {
    ShowWindow(hwnd_, SW_RESTORE);
  }
  SetForegroundWindow(hwnd_);
}

void Window::requestClose() {
  PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

Font Window::makeFont(const std::string& family, int pixels, bool bold) const {
  return Font(family, pixels, bold, dpi_);
}

void Window::setHighlight(const Control& control, bool on) {
  const auto it = std::find(highlighted_.begin(), highlighted_.end(), &control);
  if (on == (it != highlighted_.end())) {
    return;  // only a bar that changes is drawn again
  }
  if (on) {
    highlighted_.push_back(&control);
  } else {
    highlighted_.erase(it);
  }
  const RECT r = barRect(control);
  InvalidateRect(hwnd_, &r, TRUE);
}

bool Window::highlighted(const Control& control) const {
  return std::find(highlighted_.begin(), highlighted_.end(), &control) != highlighted_.end();
}

RECT Window::barRect(const Control& control) const {
  const RECT b = control.bounds();
  return {scale(b.left), scale(b.top - 2), scale(b.right), scale(b.top)};
}

void Window::remember(Control& control) {
  controls_[control.hwnd()] = &control;
}

void Window::forget(Control& control) {
  controls_.erase(control.hwnd());
  highlighted_.erase(std::remove(highlighted_.begin(), highlighted_.end(), &control),
                     highlighted_.end());
}

Control* Window::controlOf(HWND child) const {
  const auto it = controls_.find(child);
  return it == controls_.end() ? nullptr : it->second;
}

void Window::destroy() {
  queue_.close();
  if (hwnd_ != nullptr) {
    HWND h = hwnd_;
    DestroyWindow(h);  // WM_DESTROY clears hwnd_
  }
}

void Window::onClose() {
  destroy();
}

void Window::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  FillRect(dc, &ps.rcPaint, backgroundBrush_);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  for (const Control* c : highlighted_) {
    const RECT r = barRect(*c);
    FillRect(dc, &r, red);
  }
  DeleteObject(red);
  EndPaint(hwnd_, &ps);
}

LRESULT CALLBACK Window::procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) {
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  try {
    return self->handle(msg, wp, lp);
  } catch (const std::exception& e) {
    // An error stops at the message that raised it: one line, and the window goes on.
    std::cout << "Window error: " << e.what() << std::endl;
  } catch (...) {
    std::cout << "Window error: unknown" << std::endl;
  }
  return 0;
}

LRESULT Window::handle(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (onMessage(msg, wp, lp, result)) {
    return result;
  }
  switch (msg) {
    case PostQueue::kMessage:
      queue_.runPending();
      return 0;
    case WM_COMMAND:
      if (Control* c = controlOf(reinterpret_cast<HWND>(lp)); c != nullptr) {
        c->onCommand(HIWORD(wp));
        return 0;
      }
      break;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (Control* c = controlOf(reinterpret_cast<HWND>(lp)); c != nullptr) {
        c->onScroll(LOWORD(wp));
        return 0;
      }
      break;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (Control* c = controlOf(item->hwndItem); c != nullptr && c->onDrawItem(*item)) {
        return TRUE;
      }
      break;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wp);
      Control* c = controlOf(reinterpret_cast<HWND>(lp));
      if (HBRUSH b = c != nullptr ? c->paintColours(dc) : nullptr; b != nullptr) {
        return reinterpret_cast<LRESULT>(b);
      }
      // Labels and check boxes without their own colour stand on the window's background.
      const bool editable = msg == WM_CTLCOLOREDIT;
      if (!editable &&
          (GetWindowLongPtrW(reinterpret_cast<HWND>(lp), GWL_STYLE) & ES_READONLY) == 0) {
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(backgroundBrush_);
      }
      break;
    }
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills the background
    case WM_PAINT:
      paint();
      return 0;
    case WM_CLOSE:
      onClose();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wp != 0) {
        onEndSession();
      }
      return 0;
    case WM_DESTROY:
      queue_.close();
      onDestroy();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

int Window::runMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    Window* w = windowOf(root);
    if (w != nullptr && (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN)) {
      wchar_t cls[16] = {};
      GetClassNameW(msg.hwnd, cls, 16);
      const bool inEdit = _wcsicmp(cls, L"Edit") == 0 &&
                          (GetWindowLongPtrW(msg.hwnd, GWL_STYLE) & ES_READONLY) == 0;
      const bool repeat = (msg.lParam & (1L << 30)) != 0;
      bool taken = false;
      try {
        taken = w->onKey(static_cast<UINT>(msg.wParam), inEdit, repeat);
      } catch (const std::exception& e) {
        std::cout << "Key error: " << e.what() << std::endl;
      }
      if (taken) {
        continue;
      }
    }
    if (w != nullptr && IsDialogMessageW(root, &msg)) {
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
