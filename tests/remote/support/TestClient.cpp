#include "remote/support/TestClient.h"

#include <chrono>

namespace {
using Clock = std::chrono::steady_clock;
int left(Clock::time_point deadline) {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return ms > 0 ? static_cast<int>(ms) : 0;
}
}  // namespace

TestClient::TestClient(int port, const std::string& from)
    : socket_(Socket::connectTo("127.0.0.1", port, from)) {}

TestClient::TestClient(const std::string& address, int port)
    : socket_(Socket::connectTo(address, port)) {}

std::string TestClient::collect(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (fill(left(deadline))) {
  }
  std::string out;
  out.swap(buffer_);
  return out;
}

bool TestClient::fill(int timeoutMs) {
  if (eof_ || !socket_.valid() || !socket_.waitReadable(timeoutMs)) {
    return false;
  }
  char data[4096];
  const int n = socket_.receive(data, sizeof data);
  if (n <= 0) {
    eof_ = n == 0 || n == -2;
    return n == -1;
  }
  buffer_.append(data, static_cast<std::size_t>(n));
  return true;
}

std::string TestClient::line(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto end = buffer_.find('\n');
    if (end != std::string::npos) {
      std::string l = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return l;
    }
    if (!fill(left(deadline))) {
      return eof_ ? "<closed>" : "<timeout>";
    }
  }
}

std::string TestClient::block(int timeoutMs) {
  std::string out;
  for (;;) {
    const std::string l = line(timeoutMs);
    out += l + "\n";
    if (l == "\r" || l == "" || l[0] == '<') {
      return out;
    }
  }
}

bool TestClient::readUntil(const std::string& text, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto at = buffer_.find(text);
    if (at != std::string::npos) {
      buffer_.erase(0, at + text.size());
      return true;
    }
    if (!fill(left(deadline))) {
      return false;
    }
  }
}

bool TestClient::closedByServer(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!eof_) {
    buffer_.clear();
    if (!fill(left(deadline)) && !eof_) {
      return false;
    }
  }
  return true;
}
