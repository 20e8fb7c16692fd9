#include "remote/Socket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <cstring>

namespace {

#ifdef _WIN32
// Winsock is started once for the process and stays up until it ends.
void startNetwork() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}
int closeHandle(Socket::Handle h) {
  return ::closesocket(static_cast<SOCKET>(h));
}
std::string lastError() {
  return "socket error " + std::to_string(WSAGetLastError());
}
#else
void startNetwork() {}
int closeHandle(Socket::Handle h) {
  return ::close(h);
}
std::string lastError() {
  return std::strerror(errno);
}
#endif

bool toAddress(const std::string& text, int port, sockaddr_in& out) {
  std::memset(&out, 0, sizeof out);
  out.sin_family = AF_INET;
  out.sin_port = htons(static_cast<unsigned short>(port));
  return ::inet_pton(AF_INET, text.c_str(), &out.sin_addr) == 1;
}

}  // namespace

#ifdef _WIN32
const Socket::Handle Socket::kInvalid = static_cast<Socket::Handle>(INVALID_SOCKET);
#else
const Socket::Handle Socket::kInvalid = -1;
#endif

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    reset();
    handle_ = other.release();
  }
  return *this;
}

void Socket::reset() {
  if (handle_ != kInvalid) {
    closeHandle(handle_);
    handle_ = kInvalid;
  }
}

Socket::Handle Socket::release() {
  const Handle h = handle_;
  handle_ = kInvalid;
  return h;
}

Socket Socket::listenOn(const std::string& address, int port, std::string& error) {
  startNetwork();
  sockaddr_in addr{};
  if (!toAddress(address, port, addr)) {
    error = "not an address: " + address;
    return {};
  }
  Socket s(static_cast<Handle>(::socket(AF_INET, SOCK_STREAM, 0)));
  if (!s.valid()) {
    error = lastError();
    return {};
  }
#ifndef _WIN32
  // A restarted program gets its port back at once, not after the old connections' timeout.
  int on = 1;
  ::setsockopt(s.handle_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  ::fcntl(s.handle_, F_SETFD, FD_CLOEXEC);
#endif
  if (::bind(s.handle_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(s.handle_, 4) != 0) {
    error = lastError();
    return {};
  }
  return s;
}

int Socket::localPort() const {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (::getsockname(handle_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    return 0;
  }
  return ntohs(addr.sin_port);
}

Socket Socket::accept(std::string& peer, std::uint32_t& peerAddress, int writeTimeoutMs) const {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  Socket s(static_cast<Handle>(::accept(handle_, reinterpret_cast<sockaddr*>(&addr), &len)));
  if (!s.valid()) {
    return s;
  }
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
  peer = std::string(text) + ":" + std::to_string(ntohs(addr.sin_port));
  peerAddress = ntohl(addr.sin_addr.s_addr);
  // Replies are small and go out at once: no waiting for more bytes to fill a packet.
  int on = 1;
  ::setsockopt(s.handle_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
#ifdef _WIN32
  DWORD timeout = static_cast<DWORD>(writeTimeoutMs);
  ::setsockopt(s.handle_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
#else
  ::fcntl(s.handle_, F_SETFD, FD_CLOEXEC);
  timeval timeout{writeTimeoutMs / 1000, (writeTimeoutMs % 1000) * 1000};
  ::setsockopt(s.handle_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
#endif
  return s;
}

Socket Socket::connectTo(const std::string& address, int port, const std::string& from) {
  startNetwork();
  sockaddr_in addr{};
  if (!toAddress(address, port, addr)) {
    return {};
  }
  Socket s(static_cast<Handle>(::socket(AF_INET, SOCK_STREAM, 0)));
  if (!s.valid()) {
    return {};
  }
  if (!from.empty()) {
    sockaddr_in local{};
    if (!toAddress(from, 0, local) ||
        ::bind(s.handle_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
      return {};
    }
  }
  if (::connect(s.handle_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    return {};
  }
  int on = 1;
  ::setsockopt(s.handle_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return s;
}

bool Socket::waitReadable(int timeoutMs) const {
#ifdef _WIN32
  WSAPOLLFD p{static_cast<SOCKET>(handle_), POLLRDNORM, 0};
  return ::WSAPoll(&p, 1, timeoutMs) > 0;
#else
  pollfd p{handle_, POLLIN, 0};
  return ::poll(&p, 1, timeoutMs) > 0;
#endif
}

int Socket::receive(char* data, int max) const {
#ifdef _WIN32
  if (!waitReadable(0)) {
    return -1;
  }
  const int n = ::recv(static_cast<SOCKET>(handle_), data, max, 0);
  return n >= 0 ? n : -2;
#else
  const ssize_t n = ::recv(handle_, data, static_cast<std::size_t>(max), MSG_DONTWAIT);
  if (n >= 0) {
    return static_cast<int>(n);
  }
  return (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? -1 : -2;
#endif
}

bool Socket::sendAll(std::string_view data) const {
  while (!data.empty()) {
#ifdef _WIN32
    const int n =
        ::send(static_cast<SOCKET>(handle_), data.data(), static_cast<int>(data.size()), 0);
#else
    // MSG_NOSIGNAL: a client that has gone is a failed write, not a SIGPIPE for the program.
    const ssize_t n = ::send(handle_, data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) {
      continue;
    }
#endif
    if (n <= 0) {
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void Socket::shutdownBoth() const {
#ifdef _WIN32
  ::shutdown(static_cast<SOCKET>(handle_), SD_BOTH);
#else
  ::shutdown(handle_, SHUT_RDWR);
#endif
}
