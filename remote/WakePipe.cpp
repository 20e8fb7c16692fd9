#include "remote/WakePipe.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

WakePipe::WakePipe() {
#ifndef _WIN32
  if (::pipe(fds_) != 0) {
    fds_[0] = fds_[1] = -1;
    return;
  }
  for (int fd : fds_) {
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
#endif
}

WakePipe::~WakePipe() {
#ifndef _WIN32
  for (int fd : fds_) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
#endif
}

void WakePipe::wake() const {
#ifndef _WIN32
  if (fds_[1] >= 0) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(fds_[1], &c, 1);  // a full pipe wakes as well
  }
#endif
}

void WakePipe::drain() const {
#ifndef _WIN32
  char buffer[64];
  while (fds_[0] >= 0 && ::read(fds_[0], buffer, sizeof buffer) > 0) {
  }
#endif
}
