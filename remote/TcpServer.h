#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "remote/AddressFilter.h"
#include "remote/LineReader.h"
#include "remote/Socket.h"
#include "remote/Waker.h"

// Listening sockets (IPv4 and, where the system has it, IPv6) and up to maxClients clients at
// once, all served by one thread of its own. Clients from addresses the filter does not allow
// are closed at once; a client beyond the limit gets the refusal line and is closed. The
// protocol lives in the subclass: it is handed each line (or oversize line) a client sends, in
// the order they arrive, and ticks at least every 20 ms for its own timers and notifications.
// Nothing a client does can hold anything but its own connection: replies wait in the
// client's own queue, and a client that leaves them there for 2 s, or lets more than 1 MB
// pile up, is dropped while the others go on.
class TcpServer {
 public:
  using Log = std::function<void(const std::string&)>;
  // Names one connection for the life of the server; never reused.
  using ClientId = std::uint64_t;

  virtual ~TcpServer();
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  // Opens the sockets and starts the thread. False (with one line in the log) when the port
  // cannot be opened.
  bool start();
  // Ends the thread and the connections; called by the subclass's destructor at the latest.
  void stop();
  // The port the server listens on (useful when it was started on port 0).
  int port() const { return port_; }
  bool hasClient() const { return clientCount() > 0; }
  int clientCount() const { return count_.load(); }
  // The addresses listened on, as "127.0.0.1:9993" and "[::1]:9993".
  const std::vector<std::string>& endpoints() const { return endpoints_; }

 protected:
  TcpServer(std::string name, int port, AddressFilter filter, std::string refusal, int maxClients,
            Log log);

  // Protocol hooks, all called on the server's thread.
  virtual void onConnect(ClientId) {}
  virtual void onLine(ClientId id, const LineReader::Line& line) = 0;
  virtual void onTick() {}
  virtual void onDisconnect(ClientId) {}
  // The client closed its side: what it sent is still answered, but nothing more will come.
  virtual void onInputEnded(ClientId) {}
  // False while the protocol is busy with an earlier line of this client: its next lines wait
  // (and, once a backlog has built up, its bytes wait in the socket).
  virtual bool readyForLine(ClientId) const { return true; }

  // Queues a whole reply and sends what the system takes now; false when the client is gone
  // (or has just been dropped for not reading).
  bool send(ClientId id, const std::string& text);
  // Ends the connection now (watchdog, a vanished client).
  void closeClient(ClientId id, std::string why);
  // Ends the connection once its queued replies are out (quit).
  void closeAfterReplies(ClientId id, const std::string& why);
  const std::string& peer(ClientId id) const;
  // The connected clients, oldest first.
  std::vector<ClientId> clients() const;
  void log(const std::string& line) const;
  const std::string& name() const { return name_; }
  // Wakes the server's thread from any thread, also after the server is gone.
  std::shared_ptr<Waker> waker() const { return wake_; }
  // "1 client", "3 clients": how many are connected now, for status lines.
  std::string countText() const;

 private:
  struct Client {
    Socket socket;
    std::string peer;
    LineReader reader;
    std::string outbox;                                 // replies not yet taken by the system
    std::chrono::steady_clock::time_point queuedSince;  // the outbox last ran empty
    std::optional<std::chrono::steady_clock::time_point> inputEndedAt;
    std::optional<std::string> closeWhenSent;
  };

  void run();
  void acceptAll(const Socket& listener);
  void readClient(ClientId id);
  bool flush(ClientId id);
  // Hands out this round's lines of the client; true when more may be waiting.
  bool handOutLines(ClientId id);
  void inputEnded(ClientId id);
  // Drops a client whose replies make no progress; frees the place of one whose input ended
  // once its lines are answered.
  void afterRound(ClientId id, bool linesWaiting);
  bool wantsInput(const Client& c) const;

  const std::string name_;
  const int requestedPort_;
  const AddressFilter filter_;
  const std::string refusal_;
  const int maxClients_;
  const Log log_;

  std::vector<Socket> listeners_;
  std::vector<std::string> endpoints_;
  std::map<ClientId, Client> clients_;
  ClientId nextId_ = 1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> count_{0};
  std::shared_ptr<Waker> wake_ = std::make_shared<Waker>();
  std::thread thread_;
};
