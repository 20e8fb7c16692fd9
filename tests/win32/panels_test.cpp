// The logger and converter windows under Wine, driven through their presenters with the file
// dialogs answered by the test: lists go to and come from files with Japanese names, and the
// converter window saves the same bytes as the one-pass conversion of orva-convert. Needs a
// display (the Windows stage runs Xvfb); skips without one.
#include <gtest/gtest.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ControllerApp.h"
#include "app/NativeFile.h"
#include "deck/LocalVCR.h"
#include "deck/support/EventLog.h"
#include "deck/support/FakeLink.h"
#include "deck/support/FakeView.h"
#include "edl/ConverterOptions.h"
#include "edl/EdlConverter.h"
#include "support/TempFolder.h"
#include "ui/core/ConverterPresenter.h"
#include "ui/core/LoggerPresenter.h"
#include "ui/win32/ConverterWindow.h"
#include "ui/win32/LoggerWindow.h"
#include "win32/support/MessagePump.h"

namespace {

// "Recording list" in Japanese: outside every ANSI code page Wine picks here.
const std::string kJapanese = "\xE5\x8F\x8E\xE9\x8C\xB2\xE3\x83\xAA\xE3\x82\xB9\xE3\x83\x88";

bool displayAvailable() {
  return GetSystemMetrics(SM_CXSCREEN) > 0;
}

// The editable text fields of this thread's window with the given title, in creation order.
std::vector<HWND> editableFields(const std::string& title) {
  HWND top = FindWindowW(nullptr, NativeFile::wide(title).c_str());
  std::vector<HWND> found;
  EnumChildWindows(
      top,
      [](HWND child, LPARAM out) {
        wchar_t cls[16] = {};
        GetClassNameW(child, cls, 16);
        if (_wcsicmp(cls, L"Edit") == 0 &&
            (GetWindowLongPtrW(child, GWL_STYLE) & ES_READONLY) == 0) {
          reinterpret_cast<std::vector<HWND>*>(out)->push_back(child);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::string readAll(const std::string& utf8Path) {
  std::string text;
  if (std::FILE* f = NativeFile::openStream(utf8Path, "rb")) {
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
      text.append(buf, n);
    }
    std::fclose(f);
  }
  return text;
}

class Win32Panels : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!displayAvailable()) {
      GTEST_SKIP() << "no display: run under Xvfb (scripts/windows-test.sh does)";
    }
    ControllerApp::resetDefaults();
  }
  void TearDown() override {
    LoggerWindow::chooser = nullptr;
    ConverterWindow::chooser = nullptr;
    vcr.close();
  }

  TempFolder folder{"orva-win32-panels"};
  EventLog log;
  FakeLink link{log};
  FakeView deckView{log};
  LocalVCR vcr{link, false, deckView};
};

}  // namespace

// A list saved under a Japanese name loads back whole in a new window; a saved list leaves no
// recovery file, and closing tells the opener before the window goes.
TEST_F(Win32Panels, LoggerSavesAndLoadsAListUnderAJapaneseName) {
  const std::string path = folder.file(kJapanese + ".edl");
  LoggerWindow::chooser = [&](const std::string&, bool) { return path; };
  int closed = 0;
  LoggerWindow* w = LoggerWindow::open(vcr, [&] { ++closed; });
  ASSERT_NE(w, nullptr);
  // Row 0's name and times are the logger's only editable fields.
  const std::vector<HWND> row0 = editableFields(ControllerApp::name + " Logger");
  ASSERT_EQ(row0.size(), 3u);
  // The name is stored on Enter, the in time as the field loses the focus, and the out time
  // (still in its field) before the save acts on the list.
  SetWindowTextW(row0[0], NativeFile::wide("Interview " + kJapanese).c_str());
  SendMessageW(row0[0], WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(w->presenter().list().ClipNameArray[0], "Interview " + kJapanese);
  SetFocus(row0[1]);
  SetWindowTextW(row0[1], L"01:00:10:00");
  SetFocus(row0[2]);
  EXPECT_EQ(w->presenter().list().SrcInArray[0], "01:00:10:00");
  SetWindowTextW(row0[2], L"01:00:20:00");
  w->presenter().save();
  EXPECT_FALSE(w->presenter().unsaved());
  EXPECT_TRUE(std::filesystem::exists(NativeFile::fsPath(path)));
  w->close();
  EXPECT_EQ(closed, 1);

  LoggerWindow* again = LoggerWindow::open(vcr, [&] { ++closed; });
  ASSERT_NE(again, nullptr);
  again->presenter().load();
  EXPECT_EQ(again->presenter().list().ClipNameArray[0], "Interview " + kJapanese);
  EXPECT_EQ(again->presenter().list().SrcInArray[0], "01:00:10:00");
  EXPECT_EQ(again->presenter().list().SrcOutArray[0], "01:00:20:00");
  again->close();
  EXPECT_EQ(closed, 2);
  for (const auto& e : std::filesystem::directory_iterator(NativeFile::fsPath(folder.path()))) {
    EXPECT_EQ(e.path().filename().string().rfind("ORVALogger-recovered-", 0), std::string::npos);
  }
}

// The window converts a fixture on load and saves, under a Japanese name, the bytes the
// one-pass conversion writes.
TEST_F(Win32Panels, ConverterSavesWhatOrvaConvertWrites) {
  const std::string source = ORVA_FIXTURES_DIR "/edl/utf8-names.edl";
  const std::string out = folder.file(kJapanese + "-lx.edl");
  ConverterWindow::chooser = [&](const std::string&, const std::string&, bool save) {
    return save ? out : source;
  };
  ConverterWindow* closedWith = nullptr;
  ConverterWindow* w = ConverterWindow::open([&](ConverterWindow* c) { closedWith = c; });
  ASSERT_NE(w, nullptr);
  w->command("save");
  ASSERT_TRUE(pumpUntil([&] { return !w->waiting(); }));

  ConverterView quiet;
  EdlConverter oneShot(ConverterOptions::fromSettings(), &quiet);
  oneShot.load("", source);
  const std::string expected = oneShot.fileText();
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(readAll(out), expected);

  w->close();
  EXPECT_EQ(closedWith, w);
}
