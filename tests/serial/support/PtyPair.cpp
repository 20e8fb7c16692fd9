#include "serial/support/PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

PtyPair::PtyPair() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) {
    return;
  }
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
    ::close(master_);
    master_ = -1;
    return;
  }
  char name[128] = {};
  if (ptsname_r(master_, name, sizeof name) != 0) {
    ::close(master_);
    master_ = -1;
    return;
  }
  slave_ = name;
}

PtyPair::~PtyPair() {
  closeMaster();
}

void PtyPair::closeMaster() {
  if (master_ >= 0) {
    ::close(master_);
    master_ = -1;
  }
}

void PtyPair::write(const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return;
    }
    done += static_cast<std::size_t>(n);
  }
}

std::vector<std::uint8_t> PtyPair::read(std::size_t count, std::chrono::milliseconds deadline) {
  std::vector<std::uint8_t> out;
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (out.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      break;
    }
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0 || (p.revents & POLLIN) == 0) {
      break;
    }
    std::uint8_t buf[256];
    const ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - out.size()));
    if (n <= 0) {
      break;
    }
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}
