#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Cuts the byte stream a controller sends into command frames. The low nibble of a frame's
// first byte is its data count, so a frame is 3 + count bytes long (group/length, command,
// data, checksum). Bytes may come one at a time or several frames at once.
//
// Like a real deck's byte time-out, a partial frame followed by 10 ms of silence is dropped.
// The controller sends a 00 byte after each shuttle frame (21 13 / 21 23); a 00 that follows
// such a frame within the byte time-out is taken as that padding and swallowed, so it can never
// glue itself to the front of the next command.
class FrameAssembler {
 public:
  static constexpr std::int64_t kByteTimeoutUs = 10000;

  // What one input byte completed or discarded.
  struct Event {
    enum class Kind { Frame, TimedOut, Pad };
    Kind kind;
    std::int64_t atUs;
    std::vector<std::uint8_t> bytes;
  };

  // Feeds bytes that arrived at nowUs; returns completed frames and discarded bytes in order.
  std::vector<Event> feed(const std::uint8_t* data, std::size_t count, std::int64_t nowUs);
  // Applies the byte time-out without new input; returns the dropped partial frame, if any.
  std::optional<Event> expire(std::int64_t nowUs);
  // When expire() must next be called, if a partial frame or a possible pad is pending.
  std::optional<std::int64_t> deadline() const;
  std::size_t pendingBytes() const { return partial_.size(); }

  static bool isShuttleFrame(const std::vector<std::uint8_t>& frame);

 private:
  std::vector<std::uint8_t> partial_;
  std::int64_t lastByteUs_ = 0;
  bool padAllowed_ = false;  // the last complete frame was a shuttle frame
};
