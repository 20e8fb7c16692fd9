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

#include "remote/NetworkStartup.h"

namespace {

#ifdef _WIN32
using Native = SOCKET;
using Length = int;
constexpr short kPollRead = POLLRDNORM;
constexpr short kPollWrite = POLLWRNORM;
int closeHandle(Socket::Handle h) {
  return ::closesocket(static_cast<SOCKET>(h));
}
std::string lastError() {
  return "socket error " + std::to_string(::WSAGetLastError());
}
bool wouldBlock() {
  const int e = ::WSAGetLastError();
  return e == WSAEWOULDBLOCK || e == WSAEINTR;
}
#else
using Native = int;
using Length = socklen_t;
constexpr short kPollRead = POLLIN;
constexpr short kPollWrite = POLLOUT;
int closeHandle(Socket::Handle h) {
  return ::close(h);
}
std::string lastError() {
  return std::strerror(errno);
}
bool wouldBlock() {
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}
#endif

Native native(Socket::Handle h) {
  return static_cast<Native>(h);
}

void setOption(Socket::Handle h, int level, int name, int value) {
  ::setsockopt(native(h), level, name, reinterpret_cast<const char*>(&value), sizeof value);
}

// Not blocking, and (POSIX) not passed on to programs the process starts.
void setNonBlocking(Socket::Handle h) {
#ifdef _WIN32
  u_long on = 1;
  ::ioctlsocket(native(h), FIONBIO, &on);
#else
  ::fcntl(h, F_SETFL, ::fcntl(h, F_GETFL) | O_NONBLOCK);
#endif
}

// A new socket of the family; not inherited by child processes.
Socket makeSocket(int family, int type) {
  if (!NetworkStartup::ensure()) {
    return {};
  }
#ifdef _WIN32
  Socket s(static_cast<Socket::Handle>(
      ::WSASocketW(family, type, 0, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT)));
  if (!s.valid()) {
    s = Socket(static_cast<Socket::Handle>(::socket(family, type, 0)));
  }
#else
  Socket s(static_cast<Socket::Handle>(::socket(family, type | SOCK_CLOEXEC, 0)));
#endif
  return s;
}

// An address text and port as a socket address of either family.
bool toAddress(const std::string& text, int port, sockaddr_storage& out, Length& length) {
  std::memset(&out, 0, sizeof out);
  const auto p = htons(static_cast<unsigned short>(port));
  if (text.find(':') == std::string::npos) {
    auto& a = reinterpret_cast<sockaddr_in&>(out);
    a.sin_family = AF_INET;
    a.sin_port = p;
    length = sizeof(sockaddr_in);
    return ::inet_pton(AF_INET, text.c_str(), &a.sin_addr) == 1;
  }
  auto& a = reinterpret_cast<sockaddr_in6&>(out);
  a.sin6_family = AF_INET6;
  a.sin6_port = p;
  length = sizeof(sockaddr_in6);
  return ::inet_pton(AF_INET6, text.c_str(), &a.sin6_addr) == 1;
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
  sockaddr_storage addr{};
  Length length = 0;
  if (!toAddress(address, port, addr, length)) {
    error = "not an address: " + address;
    return {};
  }
  Socket s = makeSocket(addr.ss_family, SOCK_STREAM);
  if (!s.valid()) {
    error = lastError();
    return {};
  }
#ifdef _WIN32
  // No other program may bind the same port while this one listens.
  setOption(s.handle_, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, 1);
#else
  // A restarted program gets its port back at once, not after the old connections' timeout.
  setOption(s.handle_, SOL_SOCKET, SO_REUSEADDR, 1);
#endif
  if (addr.ss_family == AF_INET6) {
    // IPv4 clients come in on the IPv4 socket; this one stays IPv6 only.
    setOption(s.handle_, IPPROTO_IPV6, IPV6_V6ONLY, 1);
  }
  if (::bind(native(s.handle_), reinterpret_cast<const sockaddr*>(&addr), length) != 0 ||
      ::listen(native(s.handle_), 16) != 0) {
    error = lastError();
    return {};
  }
  setNonBlocking(s.handle_);
  return s;
}

int Socket::localPort() const {
  sockaddr_storage addr{};
  Length len = sizeof addr;
  if (::getsockname(native(handle_), reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    return 0;
  }
  return addr.ss_family == AF_INET6 ? ntohs(reinterpret_cast<const sockaddr_in6&>(addr).sin6_port)
                                    : ntohs(reinterpret_cast<const sockaddr_in&>(addr).sin_port);
}

Socket Socket::accept(Peer& peer) const {
  sockaddr_storage addr{};
  Length len = sizeof addr;
  Socket s(
      static_cast<Handle>(::accept(native(handle_), reinterpret_cast<sockaddr*>(&addr), &len)));
  if (!s.valid()) {
    return s;
  }
#ifndef _WIN32
  ::fcntl(s.handle_, F_SETFD, FD_CLOEXEC);
#endif
  setNonBlocking(s.handle_);
  if (addr.ss_family == AF_INET6) {
    const auto& a = reinterpret_cast<const sockaddr_in6&>(addr);
    IpAddress::Bytes b{};
    std::memcpy(b.data(), &a.sin6_addr, 16);
    peer.address = IpAddress(b);
    peer.text = "[" + peer.address.text() + "]:" + std::to_string(ntohs(a.sin6_port));
  } else {
    const auto& a = reinterpret_cast<const sockaddr_in&>(addr);
    peer.address = IpAddress::fromV4(ntohl(a.sin_addr.s_addr));
    peer.text = peer.address.text() + ":" + std::to_string(ntohs(a.sin_port));
  }
  // Replies are small and go out at once: no waiting for more bytes to fill a packet.
  setOption(s.handle_, IPPROTO_TCP, TCP_NODELAY, 1);
  return s;
}

Socket Socket::connectTo(const std::string& address, int port, const std::string& from) {
  sockaddr_storage addr{};
  Length length = 0;
  if (!toAddress(address, port, addr, length)) {
    return {};
  }
  Socket s = makeSocket(addr.ss_family, SOCK_STREAM);
  if (!s.valid()) {
    return {};
  }
  if (!from.empty()) {
    sockaddr_storage local{};
    Length localLength = 0;
    if (!toAddress(from, 0, local, localLength) ||
        ::bind(native(s.handle_), reinterpret_cast<const sockaddr*>(&local), localLength) != 0) {
      return {};
    }
  }
  if (::connect(native(s.handle_), reinterpret_cast<const sockaddr*>(&addr), length) != 0) {
    return {};
  }
  setOption(s.handle_, IPPROTO_TCP, TCP_NODELAY, 1);
  return s;
}

Socket Socket::selfDatagram() {
  sockaddr_storage addr{};
  Length length = 0;
  toAddress("127.0.0.1", 0, addr, length);
  Socket s = makeSocket(AF_INET, SOCK_DGRAM);
  if (!s.valid() ||
      ::bind(native(s.handle_), reinterpret_cast<const sockaddr*>(&addr), length) != 0 ||
      !toAddress("127.0.0.1", s.localPort(), addr, length) ||
      ::connect(native(s.handle_), reinterpret_cast<const sockaddr*>(&addr), length) != 0) {
    return {};
  }
  setNonBlocking(s.handle_);
  return s;
}

bool Socket::waitReadable(int timeoutMs) const {
  std::vector<PollItem> item{{handle_, true}};
  return poll(item, timeoutMs) && (item[0].readable || item[0].failed);
}

int Socket::receive(char* data, int max) const {
#ifdef _WIN32
  // A blocking socket (a test's client) must not wait here.
  if (!waitReadable(0)) {
    return -1;
  }
  const int n = ::recv(native(handle_), data, max, 0);
#else
  const ssize_t n = ::recv(handle_, data, static_cast<std::size_t>(max), MSG_DONTWAIT);
#endif
  if (n >= 0) {
    return static_cast<int>(n);
  }
  return wouldBlock() ? -1 : -2;
}

int Socket::sendSome(std::string_view data) const {
#ifdef _WIN32
  const int n = ::send(native(handle_), data.data(), static_cast<int>(data.size()), 0);
#else
  // MSG_NOSIGNAL: a client that has gone is a failed write, not a SIGPIPE for the program.
  const ssize_t n = ::send(handle_, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
#endif
  if (n >= 0) {
    return static_cast<int>(n);
  }
  return wouldBlock() ? 0 : -1;
}

bool Socket::sendAll(std::string_view data) const {
  while (!data.empty()) {
    const int n = sendSome(data);
    if (n < 0) {
      return false;
    }
    if (n == 0) {
      std::vector<PollItem> item{{handle_, false, true}};
      if (!poll(item, 1000)) {
        return false;
      }
      continue;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void Socket::shutdownBoth() const {
#ifdef _WIN32
  ::shutdown(native(handle_), SD_BOTH);
#else
  ::shutdown(handle_, SHUT_RDWR);
#endif
}

bool Socket::poll(std::vector<PollItem>& items, int timeoutMs) {
#ifdef _WIN32
  std::vector<WSAPOLLFD> fds(items.size());
#else
  std::vector<pollfd> fds(items.size());
#endif
  for (std::size_t i = 0; i < items.size(); ++i) {
    // An item without a socket is left out. One polled for nothing still reports a peer that
    // hangs up (on Linux also one that only closed its sending side, when watched for it).
    fds[i].fd = native(items[i].handle);
    fds[i].events =
        static_cast<short>((items[i].read ? kPollRead : 0) | (items[i].write ? kPollWrite : 0));
#ifdef POLLRDHUP
    if (items[i].watchClose) {
      fds[i].events |= POLLRDHUP;
    }
#endif
    fds[i].revents = 0;
    items[i].readable = items[i].writable = items[i].failed = false;
  }
#ifdef _WIN32
  // WSAPoll refuses invalid sockets: the wanted ones go in a list of their own.
  std::vector<WSAPOLLFD> live;
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < fds.size(); ++i) {
    if (fds[i].fd != INVALID_SOCKET && fds[i].events != 0) {
      live.push_back(fds[i]);
      at.push_back(i);
    }
  }
  if (live.empty()) {
    ::Sleep(static_cast<DWORD>(timeoutMs));
    return true;
  }
  const int n = ::WSAPoll(live.data(), static_cast<ULONG>(live.size()), timeoutMs);
  for (std::size_t k = 0; k < live.size(); ++k) {
    fds[at[k]].revents = live[k].revents;
  }
#else
  const int n = ::poll(fds.data(), static_cast<nfds_t>(fds.size()), timeoutMs);
  if (n < 0 && errno == EINTR) {
    return true;
  }
#endif
  if (n < 0) {
    return false;
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    const short r = fds[i].revents;
    items[i].readable = (r & kPollRead) != 0;
    items[i].writable = (r & kPollWrite) != 0;
    int gone = POLLERR | POLLHUP | POLLNVAL;
#ifdef POLLRDHUP
    gone |= POLLRDHUP;
#endif
    items[i].failed = (r & gone) != 0;
  }
  return true;
}
