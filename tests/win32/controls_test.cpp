// The Win32 window classes under Wine: posting to the window thread, the controls' handlers
// and texts, the clipboard. Needs a display (the Windows stage runs Xvfb); skips without one.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "ui/win32/ButtonCtrl.h"
#include "ui/win32/Clipboard.h"
#include "ui/win32/EditCtrl.h"
#include "ui/win32/ScrollBarCtrl.h"
#include "ui/win32/TextAreaCtrl.h"
#include "ui/win32/Window.h"
#include "win32/support/MessagePump.h"

namespace {

// "Recording list" in Japanese: outside every ANSI code page Wine picks here.
const std::string kJapanese = "\xE5\x8F\x8E\xE9\x8C\xB2\xE3\x83\xAA\xE3\x82\xB9\xE3\x83\x88";

class TestWindow : public Window {};

class Win32Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!window_.create("controls test", 400, 300, {90, 170, 250})) {
      GTEST_SKIP() << "no display: run under Xvfb (scripts/windows-test.sh does)";
    }
  }

  TestWindow window_;
};

}  // namespace

// Posts from several threads all run on the window thread, each thread's in its order, and
// posts after the window is gone are dropped.
TEST_F(Win32Controls, PostsRunOnTheWindowThreadInOrder) {
  constexpr int kThreads = 4;
  constexpr int kPosts = 500;
  const DWORD windowThread = GetCurrentThreadId();
  std::vector<std::vector<int>> seen(kThreads);
  std::atomic<int> elsewhere{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPosts; ++i) {
        window_.post([&, t, i] {
          elsewhere += GetCurrentThreadId() != windowThread;
          seen[t].push_back(i);
        });
      }
    });
  }
  for (auto& th : threads) {
    th.join();
  }
  ASSERT_TRUE(pumpUntil([&] {
    std::size_t n = 0;
    for (const auto& s : seen) {
      n += s.size();
    }
    return n == kThreads * kPosts;
  }));
  EXPECT_EQ(elsewhere.load(), 0);
  for (const auto& s : seen) {
    for (int i = 0; i < kPosts; ++i) {
      ASSERT_EQ(s[i], i);
    }
  }
  DestroyWindow(window_.hwnd());
  bool ran = false;
  window_.post([&] { ran = true; });
  // The post is dropped at once: nothing is queued for a window that is gone.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    DispatchMessageW(&msg);
  }
  EXPECT_FALSE(ran);
}

// Texts go in and come out as UTF-8, Japanese included; a field reports the operator's edits
// and Enter, not the program's setText; a disabled button does not run its handler; a scroll
// bar reaches its maximum with the page it shows.
TEST_F(Win32Controls, TextsHandlersAndRanges) {
  EditCtrl edit;
  ASSERT_TRUE(edit.create(window_, "00:00:00:00", 5, 5, 120, 24));
  std::vector<std::string> edits;
  int enters = 0;
  edit.onEdited([&](const std::string& t) { edits.push_back(t); });
  edit.onEnter([&] { ++enters; });
  edit.setText(kJapanese);
  EXPECT_EQ(edit.text(), kJapanese);
  EXPECT_TRUE(edits.empty());
  SendMessageW(edit.hwnd(), EM_SETSEL, 0, -1);
  SendMessageW(edit.hwnd(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"01:02:03:04"));
  EXPECT_EQ(edits, std::vector<std::string>{"01:02:03:04"});
  SendMessageW(edit.hwnd(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(enters, 1);

  TextAreaCtrl area;
  ASSERT_TRUE(area.create(window_, 5, 40, 200, 100, true));
  area.setAreaText("one\ntwo\n");
  area.append(kJapanese + "\n");
  EXPECT_EQ(area.areaText(), "one\ntwo\n" + kJapanese + "\n");

  ButtonCtrl button;
  ASSERT_TRUE(button.create(window_, "Play >", 5, 150, 60, 24));
  int clicks = 0;
  button.onClick([&] { ++clicks; });
  SendMessageW(button.hwnd(), BM_CLICK, 0, 0);
  button.setEnabled(false);
  button.click();
  EXPECT_EQ(clicks, 1);

  ScrollBarCtrl bar;
  ASSERT_TRUE(bar.create(window_, true, 5, 180, 300, 25));
  bar.setRange(0, 95, 20);
  std::vector<int> values;
  bar.onChange([&](int v) { values.push_back(v); });
  bar.setValue(48);
  bar.onScroll(SB_LINEDOWN);
  bar.onScroll(SB_BOTTOM);
  bar.onScroll(SB_LINEDOWN);  // at the end: no change, no report
  EXPECT_EQ(values, (std::vector<int>{49, 95}));
  EXPECT_EQ(bar.value(), 95);

  ASSERT_TRUE(Clipboard::setText(window_, kJapanese + " 01:00:00:00"));
  EXPECT_EQ(Clipboard::text(window_), kJapanese + " 01:00:00:00");
}
