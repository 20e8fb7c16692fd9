#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "sim/EmulatorOptions.h"
#include "sim/FaultInjector.h"
#include "sim/FrameAssembler.h"
#include "sim/ScheduledWrite.h"
#include "sim/Transcript.h"
#include "sim/TransportModel.h"

// A virtual RS-422 9-pin deck: it takes the bytes a controller sends and gives back the writes
// a deck would make in answer. It owns no port and no thread; the in-process driver
// (SimSerialDriver) and the pseudo-terminal program (orva-decksim) feed it and carry its
// writes to the line at their due times. All public calls are thread-safe.
//
// Frames understood (group/length, command, data, checksum):
//   20 00 stop, 20 01 play, 20 02 record, 20 10 FF, 20 20 REW, 20 05 / 20 04 standby on / off,
//   20 61 / 20 60 E-E on / off, 21 13 N / 21 23 N shuttle fwd / rev, 21 12 N / 21 22 N
//   variable fwd / rev, 21 11 N / 21 21 N jog fwd / rev, 24 31 ff ss mm hh cue-up with data,
//   41 36 xx time mode                       -> ACK 10 01 11
//   61 0C xx current time sense              -> 74 04 ff ss mm hh sum (BCD)
//   61 20 xy status sense                    -> 7y 20 + y status bytes from data byte x + sum
//   bad checksum                             -> NAK 11 12 04 27
//   anything else                            -> NAK 11 12 01 24
class DeckEmulator {
 public:
  static const std::vector<std::uint8_t> kAck;
  static const std::vector<std::uint8_t> kNakChecksum;
  static const std::vector<std::uint8_t> kNakUnknown;

  explicit DeckEmulator(EmulatorOptions options = {});
  DeckEmulator(const DeckEmulator&) = delete;
  DeckEmulator& operator=(const DeckEmulator&) = delete;

  // The emulator's clock (the injected one, or CLOCK_MONOTONIC) in microseconds.
  std::int64_t now() const;

  // Bytes from the controller that arrived now. Returns the writes to make in answer, in
  // order, each with its due time (now, or later with a reply delay or a split reply).
  std::vector<ScheduledWrite> receive(std::span<const std::uint8_t> bytes);
  // Applies the byte time-out to a partial frame when no more bytes have come.
  void expire();
  // When expire() is next needed, if ever.
  std::optional<std::int64_t> deadline() const;
  // Records in the transcript that a write went to the line at atUs.
  void noteSent(const ScheduledWrite& write, std::int64_t atUs);
  // After answering the configured number of frames the deck ignores all further input; the
  // way in then drops the line once the last reply is out and records that here.
  bool hungUp() const;
  void noteHangup(std::int64_t atUs);

  // The reply a deck makes to one complete frame, without faults (not counted, not logged).
  std::vector<std::uint8_t> answer(std::span<const std::uint8_t> frame);

  // Views of the deck, at the current time.
  int frame();
  TransportMode mode();
  bool cuedUp();
  bool standby();
  bool ee();
  std::array<std::uint8_t, 16> statusData();
  int framesReceived() const;
  DeckKind deck() const { return options_.deck; }
  const EmulatorOptions& options() const { return options_; }

  // Runs fn(transport, nowUs) under the emulator's lock, e.g. to set up a test scene.
  template <class F>
  auto withTransport(F&& fn) {
    std::lock_guard lock(mutex_);
    return fn(transport_, clockNow());
  }

 private:
  std::int64_t clockNow() const;
  std::vector<std::uint8_t> answerLocked(std::span<const std::uint8_t> frame, std::int64_t now);
  void expireLocked(std::int64_t now);
  void log(std::int64_t atUs, const char* tag, std::span<const std::uint8_t> bytes = {});

  const EmulatorOptions options_;
  mutable std::mutex mutex_;
  TransportModel transport_;
  FrameAssembler assembler_;
  FaultInjector faults_;
  std::unique_ptr<Transcript> transcript_;
  int framesReceived_ = 0;
  bool hungUp_ = false;
};
