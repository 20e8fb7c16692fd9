#pragma once

#include "remote/Socket.h"

// Ends a server thread's poll at once from any thread: the thread polls the waker's socket, a
// datagram to itself on 127.0.0.1, and others send it a byte. Shared by pointer, so a late
// sender (an action finishing on the operator worker) never touches a closed socket. Without
// the socket (no loopback network) the server's 20 ms tick stands in.
class Waker {
 public:
  Waker() : socket_(Socket::selfDatagram()) {}

  void wake() const;
  // Reads every byte sent so far.
  void drain() const;
  // The socket to poll for reading; invalid when there is none.
  Socket::Handle handle() const { return socket_.handle(); }

 private:
  Socket socket_;
};
