#pragma once

#include <string>

#include "remote/Socket.h"

// A client of the remote servers for tests: reads with deadlines, never waits forever.
class TestClient {
 public:
  explicit TestClient(int port, const std::string& from = "");
  // A client of a server on another address ("::1").
  TestClient(const std::string& address, int port);
  bool connected() const { return socket_.valid(); }
  bool send(const std::string& text) { return socket_.sendAll(text); }
  // The next line without its LF (a CR stays), or "<timeout>" / "<closed>".
  std::string line(int timeoutMs = 3000);
  // Lines up to and including the empty line that ends a block, joined with "\n" after each.
  std::string block(int timeoutMs = 3000);
  // Reads everything up to `text` inclusive; false on timeout or close.
  bool readUntil(const std::string& text, int timeoutMs = 3000);
  // Everything that arrives within the time, taken out of the buffer.
  std::string collect(int timeoutMs);
  // True when the server closed the connection within the time.
  bool closedByServer(int timeoutMs = 3000);
  void close() { socket_.reset(); }
  const Socket& socket() const { return socket_; }

 private:
  bool fill(int timeoutMs);
  Socket socket_;
  std::string buffer_;
  bool eof_ = false;
};
