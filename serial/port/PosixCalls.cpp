#include "serial/port/PosixCalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

int PosixCalls::open(const char* path, int flags) {
  return ::open(path, flags);
}

int PosixCalls::close(int fd) {
  return ::close(fd);
}

ssize_t PosixCalls::read(int fd, void* buf, size_t count) {
  return ::read(fd, buf, count);
}

ssize_t PosixCalls::write(int fd, const void* buf, size_t count) {
  return ::write(fd, buf, count);
}

int PosixCalls::poll(pollfd* fds, nfds_t count, int timeoutMs) {
  return ::poll(fds, count, timeoutMs);
}

int PosixCalls::ioctl(int fd, unsigned long request, void* arg) {
  return ::ioctl(fd, request, arg);
}

int PosixCalls::tcgetattr(int fd, termios* t) {
  return ::tcgetattr(fd, t);
}

int PosixCalls::tcsetattr(int fd, int action, const termios* t) {
  return ::tcsetattr(fd, action, t);
}

int PosixCalls::tcflush(int fd, int queue) {
  return ::tcflush(fd, queue);
}

int PosixCalls::tcdrain(int fd) {
  return ::tcdrain(fd);
}

int PosixCalls::tcsendbreak(int fd, int duration) {
  return ::tcsendbreak(fd, duration);
}

int PosixCalls::flock(int fd, int operation) {
  return ::flock(fd, operation);
}
