#pragma once

#include <poll.h>
#include <sys/types.h>
#include <termios.h>

// The system calls the POSIX serial driver makes, one virtual per call. The default forwards to
// the system; tests derive from it to inject EAGAIN, short writes and vanished devices.
// Every call keeps the system's convention: -1 and errno on failure.
class PosixCalls {
 public:
  virtual ~PosixCalls() = default;

  virtual int open(const char* path, int flags);
  virtual int close(int fd);
  virtual ssize_t read(int fd, void* buf, size_t count);
  virtual ssize_t write(int fd, const void* buf, size_t count);
  virtual int poll(pollfd* fds, nfds_t count, int timeoutMs);
  // ioctl requests that take a pointer argument (FIONREAD, TIOCOUTQ, TIOCM*, TIOCGICOUNT).
  virtual int ioctl(int fd, unsigned long request, void* arg);
  virtual int tcgetattr(int fd, termios* t);
  virtual int tcsetattr(int fd, int action, const termios* t);
  virtual int tcflush(int fd, int queue);
  virtual int tcdrain(int fd);
  virtual int tcsendbreak(int fd, int duration);
  virtual int flock(int fd, int operation);
};
