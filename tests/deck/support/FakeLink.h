#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include "deck/support/EventLog.h"
#include "serial/CommandLink.h"

// A command link that records every frame (in the shared log and with a timestamp) and answers
// from what the test set: timecode and status replies, an ACK for everything else.
class FakeLink : public CommandLink {
 public:
  explicit FakeLink(EventLog& log) : log_(log) {}

  SerialReply SendSerial(std::span<const std::uint8_t> command) override;
  bool hasPort() const override { return port.load(); }
  bool hasOutStream() const override { return outStream.load(); }
  unsigned lineLosses() const override { return losses.load(); }

  // 74 04 ff ss mm hh sum, from a text hh:mm:ss:ff.
  void setTimecode(const std::string& text);
  void setTimecodeReply(std::vector<std::uint8_t> reply);
  // A status reply 79 20 00 b3 b4 00 b6 00 00 00 00 sum.
  void setStatus(std::uint8_t b3, std::uint8_t b4, std::uint8_t b6);
  void setStatusReply(std::vector<std::uint8_t> reply);
  void silence(bool on = true);  // no reply to anything (until silence(false))

  struct Sent {
    std::string hex;
    std::chrono::steady_clock::time_point at;
  };
  std::vector<Sent> sent() const;

  std::atomic<bool> port{true};
  std::atomic<bool> outStream{true};
  std::atomic<bool> throwing{false};  // SendSerial throws an I/O error
  std::atomic<unsigned> losses{0};    // the line was lost and came back this many times

 private:
  EventLog& log_;
  mutable std::mutex mutex_;
  std::vector<std::uint8_t> tcReply_;
  std::vector<std::uint8_t> statusReply_;
  bool silent_ = false;
  std::vector<Sent> sent_;
};
