#include "ui/qt/SignalCloser.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>
#include <iostream>

int SignalCloser::pipeFds_[2] = {-1, -1};

SignalCloser::SignalCloser(QWidget& window) : window_(window) {
  if (pipeFds_[0] >= 0 || ::pipe2(pipeFds_, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::cout << "Close on signal not available" << std::endl;
    return;
  }
  notifier_ = new QSocketNotifier(pipeFds_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SignalCloser::onReadable);

  struct sigaction sa {};
  sa.sa_handler = &SignalCloser::onSignal;
  sigemptyset(&sa.sa_mask);
  // One signal closes the window; a second one (the close hangs, the operator insists) gets
  // the default action and ends the process at once.
  sa.sa_flags = SA_RESTART | SA_RESETHAND;
  ::sigaction(SIGTERM, &sa, &oldTerm_);
  ::sigaction(SIGINT, &sa, &oldInt_);
  active_ = true;
}

SignalCloser::~SignalCloser() {
  if (!active_) {
    return;
  }
  ::sigaction(SIGTERM, &oldTerm_, nullptr);
  ::sigaction(SIGINT, &oldInt_, nullptr);
  delete notifier_;
  ::close(pipeFds_[0]);
  ::close(pipeFds_[1]);
  pipeFds_[0] = pipeFds_[1] = -1;
}

void SignalCloser::onSignal(int /*signo*/) {
  // Only async-signal-safe calls here.
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(pipeFds_[1], &byte, 1);
  errno = saved;
}

void SignalCloser::onReadable() {
  char buf[64];
  while (::read(pipeFds_[0], buf, sizeof buf) > 0) {
  }
  window_.close();
}
