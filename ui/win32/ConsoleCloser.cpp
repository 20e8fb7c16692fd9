#include "ui/win32/ConsoleCloser.h"

#include "ui/win32/Window.h"

std::atomic<ConsoleCloser*> ConsoleCloser::active_{nullptr};

ConsoleCloser::ConsoleCloser(Window& window)
    : window_(window), done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  active_.store(this);
  SetConsoleCtrlHandler(&ConsoleCloser::handler, TRUE);
}

ConsoleCloser::~ConsoleCloser() {
  SetConsoleCtrlHandler(&ConsoleCloser::handler, FALSE);
  active_.store(nullptr);
  CloseHandle(done_);
}

void ConsoleCloser::closed() {
  SetEvent(done_);
}

BOOL WINAPI ConsoleCloser::handler(DWORD) {
  ConsoleCloser* self = active_.load();
  if (self == nullptr) {
    return FALSE;
  }
  self->window_.requestClose();
  // The closing sequence takes a little over 500 ms; the system allows a handler 5 s at log-off.
  WaitForSingleObject(self->done_, 4500);
  return TRUE;
}
