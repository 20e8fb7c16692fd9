#pragma once

#include <windows.h>

#include <chrono>

// Runs the calling thread's window messages until the condition holds or 10 s pass, so a test
// waits on what a window does with a deadline instead of a fixed sleep.
template <typename F>
bool pumpUntil(F&& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  MSG msg;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(1);
  }
  return true;
}
