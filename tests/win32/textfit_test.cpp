// Every text of the three Win32 windows shows whole under Wine with the Win32 font metrics:
// each label, button and field text, measured with GetTextExtentPoint32W in the control's font,
// fits the control's client area less its margins, for every deck kind. The logger's event
// numbers are checked from "001" to "999" and every timecode field with each digit and with a
// drop-frame ";". The Windows stage runs it at 96, 120 and 144 dpi (ORVA_TEST_DPI names the
// dpi the run expects); ORVA_SCREENSHOT_DIR also saves the windows as BMP pictures there.
// Needs a display (the Windows stage runs Xvfb); skips without one.
#include <gtest/gtest.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/ControllerApp.h"
#include "app/NativeFile.h"
#include "deck/LocalVCR.h"
#include "deck/support/EventLog.h"
#include "deck/support/FakeLink.h"
#include "deck/support/FakeView.h"
#include "ui/core/LoggerPresenter.h"
#include "ui/win32/ControlWindow.h"
#include "ui/win32/ConverterWindow.h"
#include "ui/win32/LoggerWindow.h"
#include "win32/support/MessagePump.h"

namespace {

void pumpFor(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  pumpUntil([&] { return std::chrono::steady_clock::now() > end; });
}

std::wstring classOf(HWND h) {
  wchar_t cls[32] = {};
  GetClassNameW(h, cls, 32);
  return cls;
}

std::wstring textOf(HWND h) {
  std::wstring w(static_cast<std::size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
  w.resize(static_cast<std::size_t>(GetWindowTextW(h, w.data(), static_cast<int>(w.size()))));
  return w;
}

// The texts a control must show whole: its own, and for the logger's event numbers and the
// timecode fields every text of their kind.
std::vector<std::wstring> textsFor(const std::wstring& text) {
  const bool number = text.size() == 3 && text.find_first_not_of(L"0123456789") == text.npos;
  const bool timecode = text.size() == 11 && text[2] == L':' && text[5] == L':';
  std::vector<std::wstring> texts;
  if (!text.empty()) {
    texts.push_back(text);
  }
  if (number) {
    for (int n = 1; n <= 999; ++n) {
      wchar_t buf[4];
      std::swprintf(buf, 4, L"%03d", n);
      texts.emplace_back(buf);
    }
  } else if (timecode) {
    for (wchar_t d = L'0'; d <= L'9'; ++d) {
      const std::wstring dd(2, d);
      texts.push_back(dd + L":" + dd + L":" + dd + L":" + dd);
      texts.push_back(dd + L":" + dd + L":" + dd + L";" + dd);
    }
  }
  return texts;
}

// The room a control has for its text in screen pixels: a field's formatting rectangle less
// the caret's pixel at the end of the text (or the field scrolls its start out of sight), a
// button's face inside its raised edge less the pixel it moves when pressed, a check box's
// label beside the box, a label's whole client area.
SIZE roomOf(HWND h, HDC dc) {
  RECT r{};
  GetClientRect(h, &r);
  const std::wstring cls = classOf(h);
  const LONG style = GetWindowLongW(h, GWL_STYLE);
  const int edgeX = GetSystemMetrics(SM_CXEDGE);
  const int edgeY = GetSystemMetrics(SM_CYEDGE);
  if (_wcsicmp(cls.c_str(), L"Edit") == 0) {
    SendMessageW(h, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
    return {r.right - r.left - 1, r.bottom - r.top};
  }
  if (_wcsicmp(cls.c_str(), L"Button") == 0 && (style & BS_TYPEMASK) == BS_OWNERDRAW) {
    return {r.right - r.left - 2 * edgeX - 1, r.bottom - r.top - 2 * edgeY - 1};
  }
  if (_wcsicmp(cls.c_str(), L"Button") == 0) {
    SIZE zero{};
    GetTextExtentPoint32W(dc, L"0", 1, &zero);
    const int box = GetSystemMetrics(SM_CXMENUCHECK) + zero.cx / 2 + 1;
    return {r.right - r.left - box, r.bottom - r.top};
  }
  return {r.right - r.left, r.bottom - r.top};
}

// The texts of a window that do not fit their control, as "class 'text' WxH in WxH".
std::vector<std::string> cutTexts(HWND top) {
  std::vector<HWND> children;
  EnumChildWindows(
      top,
      [](HWND child, LPARAM out) {
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  std::vector<std::string> cut;
  for (HWND h : children) {
    const std::wstring cls = classOf(h);
    const bool edit = _wcsicmp(cls.c_str(), L"Edit") == 0;
    if (!IsWindowVisible(h) || (edit && (GetWindowLongW(h, GWL_STYLE) & ES_MULTILINE) != 0) ||
        (_wcsicmp(cls.c_str(), L"Button") != 0 && _wcsicmp(cls.c_str(), L"Static") != 0 && !edit)) {
      continue;  // text areas scroll and wrap; scroll bars have no text
    }
    HDC dc = GetDC(h);
    auto* font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
    const SIZE room = roomOf(h, dc);
    for (const std::wstring& text : textsFor(textOf(h))) {
      SIZE ext{};
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &ext);
      if (ext.cx > room.cx || ext.cy > room.cy) {
        const std::string line = NativeFile::utf8(cls) + " '" + NativeFile::utf8(text) + "' " +
                                 std::to_string(ext.cx) + "x" + std::to_string(ext.cy) + " in " +
                                 std::to_string(room.cx) + "x" + std::to_string(room.cy);
        if (std::find(cut.begin(), cut.end(), line) == cut.end()) {
          cut.push_back(line);  // the logger's rows repeat: once is enough
        }
        break;  // one line per control
      }
    }
    SelectObject(dc, old);
    ReleaseDC(h, dc);
  }
  return cut;
}

// Saves the window's client area as a 24-bit BMP file (read back from the screen, where the
// window is on top).
bool saveClientBmp(HWND h, const std::string& path) {
  RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  pumpFor(300);
  RECT r{};
  GetClientRect(h, &r);
  POINT origin{0, 0};
  ClientToScreen(h, &origin);
  const int w = r.right;
  const int height = r.bottom;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = height;  // bottom-up, as the file stores it
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) / 4) * 4;
  const DWORD size = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;  // "BM"
  fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
  fh.bfSize = fh.bfOffBits + size;
  bool ok = false;
  if (std::FILE* f = NativeFile::openStream(path, "wb")) {
    ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 &&
         std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
         std::fwrite(bits, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

std::string envOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? v : fallback;
}

class Win32TextFit : public ::testing::Test {
 protected:
  void SetUp() override {
    // The program's manifest declares it dpi-aware; the test declares it here, before its
    // first window, so that the windows are built for the screen's dpi as the program's are.
    SetProcessDPIAware();
    if (GetSystemMetrics(SM_CXSCREEN) <= 0) {
      GTEST_SKIP() << "no display: run under Xvfb (scripts/windows-test.sh does)";
    }
    ControllerApp::resetDefaults();
  }
  void TearDown() override {
    ConverterWindow::chooser = nullptr;
    vcr.close();
    ControllerApp::resetDefaults();
  }
  // "<dir>/win32-<name>-<dpi>dpi.bmp" when screenshots are asked for, else "".
  std::string shotPath(const std::string& name, int dpi) const {
    return shotDir.empty() ? std::string()
                           : shotDir + "/win32-" + name + "-" + std::to_string(dpi) + "dpi.bmp";
  }

  const std::string shotDir = envOr("ORVA_SCREENSHOT_DIR", "");
  EventLog log;
  FakeLink link{log};
  FakeView deckView{log};
  LocalVCR vcr{link, false, deckView};
};

}  // namespace

TEST_F(Win32TextFit, EveryTextShowsWholeInAllThreeWindowsForEveryDeckKind) {
  int dpi = 0;
  // Every deck kind at the default FontHeight, and a tape deck at a large one.
  const struct {
    const char* kind;
    int fontheight;
  } windows[] = {{"VTR", 13}, {"LX1", 13}, {"ZARIX", 13}, {"LANC", 13}, {"VTR", 20}};
  for (const auto& [kind, fontheight] : windows) {
    SCOPED_TRACE(std::string(kind) + " FontHeight " + std::to_string(fontheight));
    ControllerApp::lx1 = std::string(kind) == "LX1";
    ControllerApp::zarix = std::string(kind) == "ZARIX";
    ControllerApp::lanc = std::string(kind) == "LANC";
    ControllerApp::note = "Suite 2";
    ControllerApp::fontheight = fontheight;
    ControlWindow w;
    ASSERT_TRUE(w.create());
    dpi = w.dpi();
    w.show();
    w.presenter().ShowTC("01:02:03:04");
    w.presenter().ShowStatus("Play");
    w.presenter().ShowCueField("01:00:10:00");
    w.presenter().ShowEndField("01:30:01;02");
    pumpFor(200);
    EXPECT_EQ(cutTexts(w.hwnd()), std::vector<std::string>{});
    if (std::string(kind) == "VTR" && fontheight == 13 && !shotDir.empty()) {
      EXPECT_TRUE(saveClientBmp(w.hwnd(), shotPath("control-window", dpi)));
    }
  }
  // The run is at the dpi it was started for: the registry setting took.
  const std::string wanted = envOr("ORVA_TEST_DPI", "");
  if (!wanted.empty()) {
    EXPECT_EQ(dpi, std::stoi(wanted));
  }
  ControllerApp::resetDefaults();

  // The logger with clips whose times are drop-frame labels and names as long as fit.
  LoggerWindow* logger = LoggerWindow::open(vcr, [] {});
  ASSERT_NE(logger, nullptr);
  EditList& list = logger->presenter().list();
  const char* const times[][2] = {{"01:00:10:00", "01:00:20:00"},
                                  {"01:30:01;02", "01:30:09;29"},
                                  {"00:59:59;28", "01:00:00;02"}};
  for (int i = 0; i < 3; ++i) {
    list.SrcInArray[i] = times[i][0];
    list.SrcOutArray[i] = times[i][1];
  }
  list.ClipNameArray[0] = "Interview";
  logger->presenter().ReState(0);
  HWND loggerHwnd = FindWindowW(nullptr, NativeFile::wide(ControllerApp::name + " Logger").c_str());
  ASSERT_NE(loggerHwnd, nullptr);
  EXPECT_EQ(cutTexts(loggerHwnd), std::vector<std::string>{});
  if (!shotDir.empty()) {
    EXPECT_TRUE(saveClientBmp(loggerHwnd, shotPath("logger-window", dpi)));
  }
  logger->close();

  // The converter with a list converted from a fixture.
  ConverterWindow::chooser = [](const std::string&, const std::string&, bool save) {
    return save ? std::string() : std::string(ORVA_FIXTURES_DIR "/edl/utf8-names.edl");
  };
  ConverterWindow* converter = ConverterWindow::open([](ConverterWindow*) {});
  ASSERT_NE(converter, nullptr);
  ASSERT_TRUE(pumpUntil([&] { return !converter->waiting(); }));
  HWND converterHwnd = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND h, LPARAM out) {
        if (textOf(h).find(L"Tavlist2") != std::wstring::npos) {
          *reinterpret_cast<HWND*>(out) = h;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&converterHwnd));
  ASSERT_NE(converterHwnd, nullptr);
  EXPECT_EQ(cutTexts(converterHwnd), std::vector<std::string>{});
  if (!shotDir.empty()) {
    EXPECT_TRUE(saveClientBmp(converterHwnd, shotPath("converter-window", dpi)));
  }
  converter->close();
}
