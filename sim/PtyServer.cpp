#include "sim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <system_error>

namespace {

// How long the loop may sleep when nothing is due, so a stop request is seen soon even if a
// signal arrived just before the wait.
constexpr std::int64_t kIdleWaitUs = 100000;
// Retry interval while the pseudo-terminal's buffer is full.
constexpr std::int64_t kBlockedWaitUs = 2000;
// How long a hang-up waits at most for the controller to read the last reply.
constexpr std::int64_t kHangupLingerUs = 1000000;
// The pseudo-terminal moves written bytes to the reader's queue a little later; the count of
// unread bytes means something only after this.
constexpr std::int64_t kHangupSettleUs = 50000;

[[noreturn]] void fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

void makeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0)
    fail("tcgetattr");
  cfmakeraw(&t);
  cfsetispeed(&t, B38400);
  cfsetospeed(&t, B38400);
  if (tcsetattr(fd, TCSANOW, &t) != 0)
    fail("tcsetattr");
}

}  // namespace

PtyServer::PtyServer(DeckEmulator& deck) : deck_(deck) {
  try {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
      fail("posix_openpt");
    if (grantpt(master_) != 0)
      fail("grantpt");
    if (unlockpt(master_) != 0)
      fail("unlockpt");
    char name[PATH_MAX];
    if (ptsname_r(master_, name, sizeof name) != 0)
      fail("ptsname");
    slavePath_ = name;
    slave_ = open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0)
      fail("open slave");
    makeRaw(master_);
    makeRaw(slave_);
    const int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0)
      fail("fcntl");
  } catch (...) {
    closeAll();
    throw;
  }
}

PtyServer::~PtyServer() {
  closeAll();
}

void PtyServer::closeAll() {
  if (master_ >= 0)
    close(master_);
  if (slave_ >= 0)
    close(slave_);
  master_ = slave_ = -1;
}

void PtyServer::readInput() {
  std::uint8_t buf[256];
  for (;;) {
    const ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0)
      return;  // EAGAIN: all read; EINTR or EIO: try again on the next turn
    auto writes = deck_.receive({buf, static_cast<std::size_t>(n)});
    for (auto& w : writes) {
      // The line is serial: a write never overtakes one queued before it.
      if (!pending_.empty())
        w.dueUs = std::max(w.dueUs, pending_.back().dueUs);
      pending_.push_back(std::move(w));
    }
  }
}

void PtyServer::writeDue(std::int64_t nowUs) {
  while (!pending_.empty() && pending_.front().dueUs <= nowUs) {
    ScheduledWrite& w = pending_.front();
    if (sentOfFront_ == 0)
      deck_.noteSent(w, nowUs);
    const ssize_t n = write(master_, w.bytes.data() + sentOfFront_, w.bytes.size() - sentOfFront_);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      if (errno == EAGAIN)
        return;  // the controller is not reading; try again shortly
      // The line is gone: nothing more can be delivered.
      pending_.clear();
      sentOfFront_ = 0;
      return;
    }
    sentOfFront_ += static_cast<std::size_t>(n);
    if (sentOfFront_ < w.bytes.size())
      return;
    sentOfFront_ = 0;
    pending_.pop_front();
  }
}

void PtyServer::run(const std::atomic<bool>& stop) {
  // If the caller blocks SIGTERM and SIGINT, they are let through only inside the wait, so a
  // stop request can never slip in between the check of the flag and the wait.
  sigset_t waitMask;
  pthread_sigmask(SIG_BLOCK, nullptr, &waitMask);
  sigdelset(&waitMask, SIGTERM);
  sigdelset(&waitMask, SIGINT);
  while (!stop.load()) {
    std::int64_t now = deck_.now();
    writeDue(now);
    if (deck_.hungUp() && pending_.empty()) {
      // Closing the master flushes what the controller has not read yet, so give it time to
      // read the last reply (the server's own slave descriptor sees the same input queue).
      if (hangupAtUs_ == 0)
        hangupAtUs_ = now + kHangupLingerUs;
      int unread = 0;
      const bool settled = now >= hangupAtUs_ - kHangupLingerUs + kHangupSettleUs;
      if (now >= hangupAtUs_ ||
          (settled && (ioctl(slave_, FIONREAD, &unread) != 0 || unread == 0))) {
        deck_.noteHangup(deck_.now());
        closeAll();
        return;
      }
    }
    deck_.expire();

    std::int64_t wakeUs = now + kIdleWaitUs;
    if (!pending_.empty()) {
      wakeUs = std::min(wakeUs, sentOfFront_ > 0 ? now + kBlockedWaitUs : pending_.front().dueUs);
    }
    if (auto d = deck_.deadline())
      wakeUs = std::min(wakeUs, *d);
    const std::int64_t waitUs = std::max<std::int64_t>(0, wakeUs - now);
    const timespec ts{static_cast<time_t>(waitUs / 1000000),
                      static_cast<long>(waitUs % 1000000) * 1000};
    pollfd p{master_, POLLIN, 0};
    const int rc = ppoll(&p, 1, &ts, &waitMask);
    if (rc > 0 && (p.revents & POLLIN))
      readInput();
  }
}
