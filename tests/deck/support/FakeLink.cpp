#include "deck/support/FakeLink.h"

#include "serial/port/SerialIOError.h"

namespace {
SerialReply toReply(const std::vector<std::uint8_t>& bytes) {
  SerialReply r;
  r.count = static_cast<int>(std::min<std::size_t>(bytes.size(), r.bytes.size()));
  std::copy(bytes.begin(), bytes.begin() + r.count, r.bytes.begin());
  return r;
}

std::uint8_t sum(const std::vector<std::uint8_t>& bytes) {
  unsigned s = 0;
  for (auto b : bytes) {
    s += b;
  }
  return static_cast<std::uint8_t>(s);
}
}  // namespace

SerialReply FakeLink::SendSerial(std::span<const std::uint8_t> command) {
  const std::string hex = EventLog::hex(command.data(), command.size());
  std::vector<std::uint8_t> reply;
  {
    std::lock_guard lock(mutex_);
    sent_.push_back({hex, std::chrono::steady_clock::now()});
    log_.add(hex);
    if (throwing.load()) {
      throw SerialIOError("Unable to write to Serial Port");
    }
    if (silent_) {
      return {};
    }
    if (command.size() >= 2 && command[0] == 0x61 && command[1] == 0x0C) {
      reply = tcReply_;
    } else if (command.size() >= 2 && command[0] == 0x61 && command[1] == 0x20) {
      reply = statusReply_;
    } else {
      reply = {0x10, 0x01, 0x11};
    }
  }
  return toReply(reply);
}

void FakeLink::setTimecode(const std::string& t) {
  auto bcd = [&](int pos) {
    return static_cast<std::uint8_t>((t[pos] - '0') * 16 + t[pos + 1] - '0');
  };
  std::vector<std::uint8_t> r{0x74, 0x04, bcd(9), bcd(6), bcd(3), bcd(0)};
  r.push_back(sum(r));
  setTimecodeReply(r);
}

void FakeLink::setTimecodeReply(std::vector<std::uint8_t> reply) {
  std::lock_guard lock(mutex_);
  tcReply_ = std::move(reply);
}

void FakeLink::setStatus(std::uint8_t b3, std::uint8_t b4, std::uint8_t b6) {
  std::vector<std::uint8_t> r{0x79, 0x20, 0x00, b3, b4, 0x00, b6, 0x00, 0x00, 0x00, 0x00};
  r.push_back(sum(r));
  setStatusReply(r);
}

void FakeLink::setStatusReply(std::vector<std::uint8_t> reply) {
  std::lock_guard lock(mutex_);
  statusReply_ = std::move(reply);
}

void FakeLink::silence(bool on) {
  std::lock_guard lock(mutex_);
  silent_ = on;
}

std::vector<FakeLink::Sent> FakeLink::sent() const {
  std::lock_guard lock(mutex_);
  return sent_;
}
