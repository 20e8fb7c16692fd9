#include "serial/support/PtyResponder.h"

#include <poll.h>
#include <unistd.h>

PtyResponder::PtyResponder(PtyPair& pty, Answer answer) : pty_(pty), answer_(std::move(answer)) {
  thread_ = std::jthread([this](std::stop_token st) {
    const int fd = pty_.masterFd();
    while (!st.stop_requested()) {
      pollfd p{fd, POLLIN, 0};
      const int r = ::poll(&p, 1, 10);
      if (r <= 0) {
        continue;
      }
      if ((p.revents & POLLIN) == 0) {
        // No slave open (yet, or any more): nothing to read, wait a little for the next.
        ::poll(nullptr, 0, 5);
        continue;
      }
      std::uint8_t buf[256];
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n <= 0) {
        ::poll(nullptr, 0, 5);
        continue;
      }
      const auto reply = answer_(std::vector<std::uint8_t>(buf, buf + n));
      if (!reply.empty()) {
        pty_.write(reply);
      }
    }
  });
}

PtyResponder::~PtyResponder() {
  thread_.request_stop();
  thread_.join();
}
