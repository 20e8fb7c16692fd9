#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One TCP socket, owned: closed when the object goes. POSIX sockets, or Winsock on Windows
// (started once per process by the first socket made).
class Socket {
 public:
#ifdef _WIN32
  using Handle = std::uintptr_t;
#else
  using Handle = int;
#endif
  static const Handle kInvalid;

  Socket() = default;
  explicit Socket(Handle handle) : handle_(handle) {}
  ~Socket() {
    reset();
  }
  Socket(Socket&& other) noexcept : handle_(other.release()) {}
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  bool valid() const {
    return handle_ != kInvalid;
  }
  Handle handle() const {
    return handle_;
  }
  void reset();
  Handle release();

  // A listening socket on an IPv4 address ("127.0.0.1", "0.0.0.0") and port (0: any free
  // port). Invalid on failure, with the reason in error.
  static Socket listenOn(const std::string& address, int port, std::string& error);
  // The port a listening socket is bound to.
  int localPort() const;
  // The next pending client; its address goes to peer ("a.b.c.d:port") and peerAddress (IPv4,
  // host order). Writes to it give up after writeTimeoutMs, so a client that stops reading can
  // never hold the server.
  Socket accept(std::string& peer, std::uint32_t& peerAddress, int writeTimeoutMs) const;
  // A client connection (tests and benchmarks); `from` binds the local address first.
  static Socket connectTo(const std::string& address, int port, const std::string& from = "");

  // Waits until the socket can be read, at most timeoutMs; true when it can.
  bool waitReadable(int timeoutMs) const;
  // Reads what is there, up to max bytes, without waiting: > 0 bytes read, 0 the peer closed,
  // -1 nothing yet, -2 the connection failed.
  int receive(char* data, int max) const;
  // Writes all of data in one call; false when the connection failed or the write timed out.
  bool sendAll(std::string_view data) const;
  // Both directions end now; pending input is discarded.
  void shutdownBoth() const;

 private:
  Handle handle_ = kInvalid;
};
