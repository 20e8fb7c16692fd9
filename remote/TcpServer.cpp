#include "remote/TcpServer.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#endif

#include <exception>

namespace {

constexpr int kTickMs = 20;
constexpr int kWriteTimeoutMs = 2000;
// Unread lines beyond this stay in the socket until the protocol catches up.
constexpr std::size_t kBacklogBytes = 64 * 1024;
// How long a client that has closed its side may still wait for the answer to its last line.
constexpr auto kGrace = std::chrono::milliseconds(200);

}  // namespace

TcpServer::TcpServer(std::string name, int port, AddressFilter filter, std::string refusal, Log log)
    : name_(std::move(name)),
      requestedPort_(port),
      filter_(std::move(filter)),
      refusal_(std::move(refusal)),
      log_(std::move(log)) {}

TcpServer::~TcpServer() {
  stop();
}

void TcpServer::log(const std::string& line) const {
  if (log_) {
    log_(line);
  }
}

bool TcpServer::start() {
  if (thread_.joinable()) {
    return true;
  }
  std::string error;
  const char* address = filter_.loopbackOnly() ? "127.0.0.1" : "0.0.0.0";
  listener_ = Socket::listenOn(address, requestedPort_, error);
  if (!listener_.valid()) {
    log(name_ + ": cannot listen on port " + std::to_string(requestedPort_) + ": " + error);
    return false;
  }
  port_ = listener_.localPort();
  log(name_ + " listening on " + address + ":" + std::to_string(port_));
  thread_ = std::thread([this] { run(); });
  return true;
}

void TcpServer::stop() {
  stopping_.store(true);
  wake_->wake();
  if (thread_.joinable()) {
    thread_.join();
  }
  listener_.reset();
}

bool TcpServer::send(const std::string& text) {
  if (!client_.valid()) {
    return false;
  }
  if (!client_.sendAll(text)) {
    closeClient("write failed");
    return false;
  }
  return true;
}

void TcpServer::closeClient(const std::string& why) {
  if (!client_.valid()) {
    return;
  }
  client_.shutdownBoth();
  client_.reset();
  connected_.store(false);
  reader_ = LineReader();
  inputEndedAt_.reset();
  log(name_ + ": client " + peer_ + " disconnected (" + why + ")");
  onDisconnect();
}

void TcpServer::run() {
  while (!stopping_.load()) {
    const bool wantInput = client_.valid() && reader_.pending() < kBacklogBytes;
#ifdef _WIN32
    WSAPOLLFD fds[2] = {{static_cast<SOCKET>(listener_.handle()), POLLRDNORM, 0},
                        {static_cast<SOCKET>(client_.handle()), POLLRDNORM, 0}};
    const ULONG count = wantInput ? 2 : 1;
    const int n = ::WSAPoll(fds, count, kTickMs);
    const bool listenReady = n > 0 && (fds[0].revents & (POLLRDNORM | POLLERR | POLLHUP)) != 0;
    const bool clientReady =
        n > 0 && wantInput && (fds[1].revents & (POLLRDNORM | POLLERR | POLLHUP)) != 0;
#else
    short clientEvents = wantInput ? POLLIN : 0;
#ifdef POLLRDHUP
    clientEvents |= POLLRDHUP;  // a client that goes while its lines wait is seen at once
#endif
    pollfd fds[3] = {{listener_.handle(), POLLIN, 0},
                     {wake_->readEnd(), POLLIN, 0},
                     {client_.valid() ? client_.handle() : -1, clientEvents, 0}};
    const int n = ::poll(fds, 3, kTickMs);
    if (n > 0 && (fds[1].revents & POLLIN) != 0) {
      wake_->drain();
    }
    const bool listenReady = n > 0 && (fds[0].revents & POLLIN) != 0;
    const bool clientReady = n > 0 && client_.valid() && fds[2].revents != 0;
#ifdef POLLRDHUP
    if (clientReady && !wantInput && (fds[2].revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
      inputEnded();
    }
#endif
#endif
    if (stopping_.load()) {
      break;
    }
    try {
      if (listenReady) {
        acceptOne();
      }
      if (clientReady && wantInput) {
        readClient();
      }
      handOutLines();
      if (client_.valid() && inputEndedAt_) {
        // The client sent its last bytes: its lines are answered, then the place is free. A
        // command still running after a grace period does not hold the place.
        const bool drained = readyForLine();
        if (drained || std::chrono::steady_clock::now() - *inputEndedAt_ > kGrace) {
          closeClient("closed by the client");
        }
      }
      onTick();
    } catch (const std::exception& e) {
      // A fault of one connection ends that connection, never the program.
      log(name_ + ": " + e.what());
      closeClient("error");
    }
  }
  closeClient("server stopped");
}

void TcpServer::acceptOne() {
  std::string peer;
  std::uint32_t address = 0;
  Socket s = listener_.accept(peer, address, kWriteTimeoutMs);
  if (!s.valid()) {
    return;
  }
  if (!filter_.allows(address)) {
    log(name_ + ": client " + peer + " refused: address not allowed");
    return;  // closed as it goes out of scope
  }
  if (client_.valid()) {
    s.sendAll(refusal_);
    log(name_ + ": client " + peer + " refused: another client is connected");
    return;
  }
  client_ = std::move(s);
  peer_ = peer;
  reader_ = LineReader();
  inputEndedAt_.reset();
  connected_.store(true);
  log(name_ + ": client " + peer_ + " connected");
  onConnect();
}

void TcpServer::readClient() {
  char buffer[4096];
  for (int rounds = 0; rounds < 16 && client_.valid(); ++rounds) {
    const int n = client_.receive(buffer, sizeof buffer);
    if (n == -1) {
      break;
    }
    if (n == 0) {
      inputEnded();
      return;
    }
    if (n < 0) {
      closeClient("connection lost");
      return;
    }
    reader_.feed(std::string_view(buffer, static_cast<std::size_t>(n)));
    if (reader_.pending() >= kBacklogBytes) {
      break;
    }
  }
}

void TcpServer::inputEnded() {
  if (!inputEndedAt_) {
    inputEndedAt_ = std::chrono::steady_clock::now();
    onInputEnded();
  }
}

void TcpServer::handOutLines() {
  while (client_.valid() && !stopping_.load() && readyForLine()) {
    auto line = reader_.next();
    if (!line) {
      return;
    }
    onLine(*line);
  }
}
