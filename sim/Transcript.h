#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <span>
#include <string>

// A log of every frame the emulated deck received and sent, one line per event, written and
// flushed as it happens so another process can follow it live.
//
// Line format (fields separated by one blank, hex bytes in upper case, two digits each):
//   <microseconds> <TAG> [<hex byte> ...]
// The timestamp is CLOCK_MONOTONIC in microseconds (std::chrono::steady_clock on Linux), or the
// injected test clock. Tags:
//   IN       a complete frame received from the controller (also one with a bad checksum)
//   OUT      a reply as it went out (after any checksum corruption); one line per reply, even
//            when it is sent in several parts; stamped when its first byte is handed over
//   JUNK     stray bytes sent just before a reply (fault injection)
//   LOST     a reply the deck swallowed instead of sending (fault injection)
//   TIMEOUT  the bytes of a partial frame dropped after 10 ms of silence
//   PAD      the 00 byte that follows a shuttle frame, swallowed
//   HANGUP   the deck hung up (no bytes)
// For example:
//   123456789 IN 61 0C 03 70
//   123456901 OUT 74 04 00 00 00 01 79
class Transcript {
 public:
  Transcript() = default;
  // Opens (truncates) the file; throws std::runtime_error when it cannot be created.
  explicit Transcript(const std::string& path);
  ~Transcript();
  Transcript(const Transcript&) = delete;
  Transcript& operator=(const Transcript&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  void write(std::int64_t atUs, const char* tag, std::span<const std::uint8_t> bytes = {});
  void close();

  // "61 0C 03 70"
  static std::string hex(std::span<const std::uint8_t> bytes);

 private:
  std::mutex mutex_;
  std::FILE* file_ = nullptr;
};
