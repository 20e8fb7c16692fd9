#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "remote/AddressFilter.h"
#include "remote/LineReader.h"
#include "remote/Socket.h"
#include "remote/WakePipe.h"

// One listening socket and one client at a time, served by one thread of its own. Clients from
// addresses the filter does not allow are closed at once; a second client gets the refusal line
// and is closed. The protocol lives in the subclass: it is handed each line (or oversize line)
// the client sends, and ticks at least every 20 ms for its own timers and notifications.
// Nothing the client does can hold anything but this thread: writes give up after 2 s and then
// drop the client.
class TcpServer {
 public:
  using Log = std::function<void(const std::string&)>;

  virtual ~TcpServer();
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  // Opens the socket and starts the thread. False (with one line in the log) when the port
  // cannot be opened.
  bool start();
  // Ends the thread and the connection; called by the subclass's destructor at the latest.
  void stop();
  // The port the server listens on (useful when it was started on port 0).
  int port() const { return port_; }
  bool hasClient() const { return connected_.load(); }

 protected:
  TcpServer(std::string name, int port, AddressFilter filter, std::string refusal, Log log);

  // Protocol hooks, all called on the server's thread.
  virtual void onConnect() {}
  virtual void onLine(const LineReader::Line& line) = 0;
  virtual void onTick() {}
  virtual void onDisconnect() {}
  // The client closed its side: what it sent is still answered, but nothing more will come.
  virtual void onInputEnded() {}
  // False while the protocol is busy with an earlier line: the next lines wait (and, once a
  // backlog has built up, the client's bytes wait in the socket).
  virtual bool readyForLine() const { return true; }

  // Writes a whole reply in one call; a failed write ends the connection.
  bool send(const std::string& text);
  // Ends the connection after what was sent (quit, watchdog, a vanished client).
  void closeClient(const std::string& why);
  const std::string& peer() const { return peer_; }
  void log(const std::string& line) const;
  const std::string& name() const { return name_; }
  // Wakes the server's thread from any thread, also after the server is gone.
  std::shared_ptr<WakePipe> waker() const { return wake_; }

 private:
  void run();
  void acceptOne();
  void readClient();
  void handOutLines();
  void inputEnded();

  const std::string name_;
  const int requestedPort_;
  const AddressFilter filter_;
  const std::string refusal_;
  const Log log_;

  Socket listener_;
  Socket client_;
  std::string peer_;
  LineReader reader_;
  int port_ = 0;
  std::optional<std::chrono::steady_clock::time_point> inputEndedAt_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> connected_{false};
  std::shared_ptr<WakePipe> wake_ = std::make_shared<WakePipe>();
  std::thread thread_;
};
