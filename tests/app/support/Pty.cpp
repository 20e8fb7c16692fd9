#include "app/support/Pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

Pty::Pty() {
  const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return;
  }
  const char* name = nullptr;
  if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || (name = ::ptsname(fd)) == nullptr) {
    ::close(fd);
    return;
  }
  master_ = fd;
  slave_ = name;
}

Pty::~Pty() {
  if (master_ >= 0) {
    ::close(master_);
  }
}
