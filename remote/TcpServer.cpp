#include "remote/TcpServer.h"

#include <exception>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTickMs = 20;
// A client whose replies have been waiting in its queue this long without the queue once
// running empty is dropped: it is not reading (a trickle the system lets through now and then
// does not count as reading).
constexpr auto kWriteTimeout = std::chrono::milliseconds(2000);
// Unread lines beyond this stay in the socket until the protocol catches up.
constexpr std::size_t kBacklogBytes = 64 * 1024;
// A client's new lines wait in the socket while this much of its replies is still queued...
constexpr std::size_t kOutboxPause = 64 * 1024;
// ...and a client that lets this much pile up is dropped at once.
constexpr std::size_t kOutboxMax = 1024 * 1024;
// How long a client that has closed its side may still wait for the answer to its last line.
constexpr auto kGrace = std::chrono::milliseconds(200);
// Lines of one client handled in one round: a client sending thousands at once takes turns
// with the others instead of holding them up until its last line is answered.
constexpr int kLinesPerRound = 64;
// Tries at finding a free port both address families have, when any free port will do.
constexpr int kPortTries = 8;

}  // namespace

TcpServer::TcpServer(std::string name, int port, AddressFilter filter, std::string refusal,
                     int maxClients, Log log)
    : name_(std::move(name)),
      requestedPort_(port),
      filter_(std::move(filter)),
      refusal_(std::move(refusal)),
      maxClients_(maxClients < 1 ? 1 : maxClients),
      log_(std::move(log)) {}

TcpServer::~TcpServer() {
  stop();
}

void TcpServer::log(const std::string& line) const {
  if (log_) {
    log_(line);
  }
}

std::string TcpServer::countText() const {
  const int n = clientCount();
  return std::to_string(n) + (n == 1 ? " client" : " clients");
}

bool TcpServer::start() {
  if (thread_.joinable()) {
    return true;
  }
  // Loopback only unless the allowed networks name that family: then all its addresses.
  const std::string v4 = filter_.hasV4Networks() ? "0.0.0.0" : "127.0.0.1";
  const std::string v6 = filter_.hasV6Networks() ? "::" : "::1";
  std::string error6;
  for (int attempt = 0; attempt < kPortTries; ++attempt) {
    listeners_.clear();
    endpoints_.clear();
    std::string error;
    Socket first = Socket::listenOn(v4, requestedPort_, error);
    if (!first.valid()) {
      log(name_ + ": cannot listen on port " + std::to_string(requestedPort_) + ": " + error);
      return false;
    }
    port_ = first.localPort();
    endpoints_.push_back(v4 + ":" + std::to_string(port_));
    listeners_.push_back(std::move(first));
    // The IPv6 side takes the same port; a system without IPv6 serves IPv4 alone.
    Socket second = Socket::listenOn(v6, port_, error6);
    if (second.valid()) {
      endpoints_.push_back("[" + v6 + "]:" + std::to_string(port_));
      listeners_.push_back(std::move(second));
      break;
    }
    if (requestedPort_ != 0) {
      break;
    }
  }
  if (listeners_.size() < 2) {
    log(name_ + ": no IPv6 on " + v6 + " (" + error6 + "); IPv4 only");
  }
  std::string where;
  for (const auto& e : endpoints_) {
    where += (where.empty() ? "" : " and ") + e;
  }
  log(name_ + " listening on " + where);
  thread_ = std::thread([this] { run(); });
  return true;
}

void TcpServer::stop() {
  stopping_.store(true);
  wake_->wake();
  if (thread_.joinable()) {
    thread_.join();
  }
  listeners_.clear();
}

bool TcpServer::send(ClientId id, const std::string& text) {
  const auto it = clients_.find(id);
  if (it == clients_.end()) {
    return false;
  }
  Client& c = it->second;
  if (c.outbox.empty()) {
    c.queuedSince = Clock::now();
  }
  c.outbox += text;
  if (c.outbox.size() > kOutboxMax) {
    closeClient(id, "not reading its replies");
    return false;
  }
  return flush(id);
}

bool TcpServer::flush(ClientId id) {
  const auto it = clients_.find(id);
  if (it == clients_.end()) {
    return false;
  }
  Client& c = it->second;
  while (!c.outbox.empty()) {
    const int n = c.socket.sendSome(c.outbox);
    if (n < 0) {
      closeClient(id, "write failed");
      return false;
    }
    if (n == 0) {
      break;
    }
    c.outbox.erase(0, static_cast<std::size_t>(n));
  }
  if (c.outbox.empty() && c.closeWhenSent) {
    closeClient(id, *c.closeWhenSent);  // a copy is taken before the client goes
    return false;
  }
  return true;
}

void TcpServer::closeClient(ClientId id, std::string why) {
  const auto it = clients_.find(id);
  if (it == clients_.end()) {
    return;
  }
  const std::string peer = it->second.peer;
  it->second.socket.shutdownBoth();
  clients_.erase(it);
  count_.store(static_cast<int>(clients_.size()));
  log(name_ + ": client " + peer + " disconnected (" + why + "); " + countText() + " connected");
  onDisconnect(id);
}

void TcpServer::closeAfterReplies(ClientId id, const std::string& why) {
  const auto it = clients_.find(id);
  if (it != clients_.end() && !it->second.closeWhenSent) {
    it->second.closeWhenSent = why;
    flush(id);
  }
}

const std::string& TcpServer::peer(ClientId id) const {
  static const std::string none;
  const auto it = clients_.find(id);
  return it == clients_.end() ? none : it->second.peer;
}

std::vector<TcpServer::ClientId> TcpServer::clients() const {
  std::vector<ClientId> ids;
  for (const auto& [id, c] : clients_) {
    ids.push_back(id);
  }
  return ids;
}

bool TcpServer::wantsInput(const Client& c) const {
  return !c.inputEndedAt && !c.closeWhenSent && c.reader.pending() < kBacklogBytes &&
         c.outbox.size() < kOutboxPause;
}

void TcpServer::run() {
  std::vector<Socket::PollItem> items;
  std::vector<std::pair<ClientId, bool>> polled;  // each client, and whether it was read
  bool linesWaiting = false;                      // a client had more lines than one round takes
  while (!stopping_.load()) {
    items.clear();
    polled.clear();
    for (const Socket& l : listeners_) {
      items.push_back({l.handle(), true});
    }
    items.push_back({wake_->handle(), true});
    for (const auto& [id, c] : clients_) {
      const bool read = wantsInput(c);
      // A client whose input has ended is watched only for taking its replies.
      items.push_back({c.socket.handle(), read, !c.outbox.empty(), !c.inputEndedAt});
      polled.emplace_back(id, read);
    }
    if (!Socket::poll(items, linesWaiting ? 0 : kTickMs)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
    }
    if (stopping_.load()) {
      break;
    }
    const std::size_t first = listeners_.size() + 1;
    if (items[first - 1].readable) {
      wake_->drain();
    }
    for (std::size_t i = 0; i < listeners_.size(); ++i) {
      if (items[i].readable) {
        acceptAll(listeners_[i]);
      }
    }
    for (std::size_t k = 0; k < polled.size(); ++k) {
      const auto [id, read] = polled[k];
      const Socket::PollItem& item = items[first + k];
      try {
        if (item.writable && !flush(id)) {
          continue;
        }
        if (read && (item.readable || item.failed)) {
          readClient(id);
        } else if (item.failed) {
          inputEnded(id);  // a client that goes while its lines wait is seen at once
        }
      } catch (const std::exception& e) {
        // A fault of one connection ends that connection, never the program.
        log(name_ + ": " + e.what());
        closeClient(id, "error");
      }
    }
    linesWaiting = false;
    for (const ClientId id : clients()) {
      try {
        const bool more = handOutLines(id);
        linesWaiting = more || linesWaiting;
        afterRound(id, more);
      } catch (const std::exception& e) {
        log(name_ + ": " + e.what());
        closeClient(id, "error");
      }
    }
    try {
      onTick();
    } catch (const std::exception& e) {
      log(name_ + ": " + e.what());
    }
  }
  for (const ClientId id : clients()) {
    closeClient(id, "server stopped");
  }
}

void TcpServer::acceptAll(const Socket& listener) {
  for (int i = 0; i < 16; ++i) {
    Socket::Peer peer;
    Socket s = listener.accept(peer);
    if (!s.valid()) {
      return;
    }
    if (!filter_.allows(peer.address)) {
      log(name_ + ": client " + peer.text + " refused: address not allowed");
      continue;  // closed as it goes out of scope
    }
    if (static_cast<int>(clients_.size()) >= maxClients_) {
      s.sendSome(refusal_);
      log(name_ + ": client " + peer.text + " refused: " +
          (maxClients_ == 1
               ? std::string("another client is connected")
               : std::to_string(maxClients_) + " clients are connected, the most " + "allowed"));
      continue;
    }
    const ClientId id = nextId_++;
    Client& c = clients_[id];
    c.socket = std::move(s);
    c.peer = peer.text;
    c.queuedSince = Clock::now();
    count_.store(static_cast<int>(clients_.size()));
    log(name_ + ": client " + c.peer + " connected; " + countText() + " connected");
    onConnect(id);
  }
}

void TcpServer::readClient(ClientId id) {
  char buffer[4096];
  for (int rounds = 0; rounds < 16; ++rounds) {
    const auto it = clients_.find(id);
    if (it == clients_.end()) {
      return;
    }
    Client& c = it->second;
    const int n = c.socket.receive(buffer, sizeof buffer);
    if (n == -1) {
      return;
    }
    if (n == 0) {
      inputEnded(id);
      return;
    }
    if (n < 0) {
      closeClient(id, "connection lost");
      return;
    }
    c.reader.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
    if (c.reader.pending() >= kBacklogBytes) {
      return;
    }
  }
}

void TcpServer::inputEnded(ClientId id) {
  const auto it = clients_.find(id);
  if (it != clients_.end() && !it->second.inputEndedAt) {
    it->second.inputEndedAt = Clock::now();
    onInputEnded(id);
  }
}

bool TcpServer::handOutLines(ClientId id) {
  for (int n = 0; n < kLinesPerRound; ++n) {
    const auto it = clients_.find(id);
    if (stopping_.load() || it == clients_.end() || it->second.closeWhenSent || !readyForLine(id)) {
      return false;
    }
    auto line = it->second.reader.next();
    if (!line) {
      return false;
    }
    onLine(id, *line);
  }
  return true;
}

void TcpServer::afterRound(ClientId id, bool linesWaiting) {
  const auto it = clients_.find(id);
  if (it == clients_.end()) {
    return;
  }
  Client& c = it->second;
  const auto now = Clock::now();
  if (!c.outbox.empty() && now - c.queuedSince > kWriteTimeout) {
    closeClient(id, "not reading its replies");
    return;
  }
  if (c.inputEndedAt && !c.closeWhenSent && !linesWaiting) {
    // The client sent its last bytes: its lines are answered, then the place is free. A
    // command still running after a grace period does not hold the place.
    if (readyForLine(id) || now - *c.inputEndedAt > kGrace) {
      closeAfterReplies(id, "closed by the client");
    }
  }
}
