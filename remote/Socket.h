#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "remote/IpAddress.h"

// One socket, owned: closed when the object goes. The same calls on POSIX sockets and on
// Winsock (started once per process by the first socket made, see NetworkStartup).
class Socket {
 public:
#ifdef _WIN32
  using Handle = std::uintptr_t;
#else
  using Handle = int;
#endif
  static const Handle kInvalid;

  // A connected client's address.
  struct Peer {
    std::string text;  // "a.b.c.d:port" or "[v6]:port"
    IpAddress address;
  };

  // One socket to wait on: what to wait for in, what happened out.
  struct PollItem {
    Handle handle = kInvalid;
    bool read = false;
    bool write = false;
    bool watchClose = true;  // report a peer that closes its side even when not reading
    bool readable = false;   // data, a new connection, or the peer's end
    bool writable = false;
    bool failed = false;  // the connection broke or the peer closed its side
  };

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

  // A listening socket, not blocking, on an IPv4 or IPv6 address ("127.0.0.1", "0.0.0.0",
  // "::1", "::"; an IPv6 one takes IPv6 clients only) and port (0: any free port). Invalid on
  // failure, with the reason in error.
  static Socket listenOn(const std::string& address, int port, std::string& error);
  // The port a socket is bound to.
  int localPort() const;
  // The next pending client, not blocking, or an invalid socket when none is waiting.
  Socket accept(Peer& peer) const;
  // A blocking client connection (tests and benchmarks) to an IPv4 or IPv6 address; `from`
  // binds the local address first.
  static Socket connectTo(const std::string& address, int port, const std::string& from = "");
  // A datagram socket on 127.0.0.1 that sends to itself, not blocking: a way to end another
  // thread's poll.
  static Socket selfDatagram();

  // Waits until the socket can be read, at most timeoutMs; true when it can.
  bool waitReadable(int timeoutMs) const;
  // Reads what is there, up to max bytes, without waiting: > 0 bytes read, 0 the peer closed,
  // -1 nothing yet, -2 the connection failed.
  int receive(char* data, int max) const;
  // Writes what the system takes now without waiting: the bytes written (0: none fit), or -1
  // when the connection failed.
  int sendSome(std::string_view data) const;
  // Writes all of data, waiting as needed (blocking sockets); false when the connection failed.
  bool sendAll(std::string_view data) const;
  // Both directions end now; pending input is discarded.
  void shutdownBoth() const;

  // Waits until one of the items is ready or timeoutMs passes; false on a poll failure.
  static bool poll(std::vector<PollItem>& items, int timeoutMs);

 private:
  Handle handle_ = kInvalid;
};
