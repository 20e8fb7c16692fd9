#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "sim/DeckPresets.h"
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
// Frames understood (CMD-1 with its data count, CMD-2, data; every frame ends in its checksum).
// The data count is part of a command's identity: 40 42 and 41 42 are different commands.
//   system:    00 0C / 00 1D local disable / enable -> ACK; 00 11 device type -> 12 11 id id
//   transport: 20 00 stop, 01 play, 02 record, 04 / 05 standby off / on, 0F eject, 10 FF,
//              20 REW, 14 / 24 frame step fwd / rev, 30 preroll, 60 / 61 full E-E off / on,
//              63 select E-E on, 64 / 65 edit off / on; 21 xx N and 22 xx N N' jog (11, 21),
//              var (12, 22) and shuttle (13, 23) forward / reverse; 24 31 time cue-up -> ACK
//   preset:    40 08 timer-1 reset, 10 / 11 in / out entry, 18..1B in / out shift + / -,
//              20 / 21 in / out flag reset, 24 / 25 in / out recall, 40..45 auto mode, spot
//              erase, audio split off / on; 41 36 timer mode, 41 30 / 42 30 edit preset;
//              44 00 timer-1 preset, 04 time code preset, 05 user bits, 14 / 15 in / out data,
//              31 preroll time; and the audio point, select and time presets that change
//              nothing here (40 12 13 1C..1F 22 23 26 27 2D, 41 32..35 37 3A 3B, 42 F8 FA)
//              -> ACK
//   sense:     61 0C d current time (d: 01 LTC 74 04, 02 VITC 74 06, 04 timer-1 74 00,
//              08 timer-2 74 01, 10 / 20 LTC / VITC user bits 74 05 / 74 07, 11 / 22 time and
//              user bits 78 04 / 78 06; 03 and 00 pick LTC); 61 0A d generator time / user
//              bits 74 08 / 74 09 / 78 08; 60 10 / 60 11 in / out data 74 10 / 74 11;
//              60 31 preroll time 74 31; 60 36 timer mode 71 36; 61 20 sn status, n bytes from
//              D(s) -> 7n 20 ...; 61 21 d extended status -> 71 21 00
//   bad checksum -> NAK 11 12 04 27; anything else -> NAK 11 12 01 24
// Times go out in BCD, frames first, labelled at the deck's frame rate; at 29.97 drop-frame
// the frames byte carries the drop-frame flag (b6).
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

  // What a person watching the deck wants to see, taken at one instant.
  struct Snapshot {
    int frame = 0;
    TransportMode mode = TransportMode::Stop;
    double speed = 0.0;  // signed, as a multiple of play speed
    bool ejected = false;
    int framesIn = 0;
    int framesOut = 0;
  };
  Snapshot snapshot();

  // Views of the deck, at the current time.
  int frame();
  TransportMode mode();
  bool cuedUp();
  bool standby();
  bool ee();
  std::array<std::uint8_t, 16> statusData();
  int framesReceived() const;
  // Replies handed to the line so far (as noted by noteSent).
  int framesSent() const;
  DeckKind deck() const { return options_.deck; }
  const EmulatorOptions& options() const { return options_; }

  // Runs fn(transport, nowUs) under the emulator's lock, e.g. to set up a test scene.
  template <class F>
  auto withTransport(F&& fn) {
    std::lock_guard lock(mutex_);
    const std::int64_t now = clockNow();
    applyDeferredLocked(now);
    return fn(transport_, now);
  }

 private:
  std::int64_t clockNow() const;
  std::vector<std::uint8_t> answerLocked(std::span<const std::uint8_t> frame, std::int64_t now);
  std::optional<std::vector<std::uint8_t>> systemControl(std::span<const std::uint8_t> frame);
  std::optional<std::vector<std::uint8_t>> transportControl(std::span<const std::uint8_t> frame,
                                                            std::int64_t now);
  std::optional<std::vector<std::uint8_t>> presetControl(std::span<const std::uint8_t> frame,
                                                         std::int64_t now);
  std::optional<std::vector<std::uint8_t>> senseRequest(std::span<const std::uint8_t> frame,
                                                        std::int64_t now);
  // A Stop, a still or a cue-up that the stop latency holds back until dueUs.
  struct Deferred {
    std::int64_t dueUs = 0;
    std::vector<std::uint8_t> frame;
  };
  static bool haltsLate(std::span<const std::uint8_t> frame);
  // Applies the held-back commands that are due by now (all of them with `all`), each at its
  // own due time or at now, whichever is earlier.
  void applyDeferredLocked(std::int64_t now, bool all = false);
  std::vector<std::uint8_t> timeReply(std::uint8_t code, int frame, bool withUserBits) const;
  void expireLocked(std::int64_t now);
  void log(std::int64_t atUs, const char* tag, std::span<const std::uint8_t> bytes = {});

  const EmulatorOptions options_;
  mutable std::mutex mutex_;
  TransportModel transport_;
  DeckPresets presets_;
  FrameAssembler assembler_;
  FaultInjector faults_;
  std::unique_ptr<Transcript> transcript_;
  std::deque<Deferred> deferred_;
  int framesReceived_ = 0;
  std::atomic<int> framesSent_{0};
  bool hungUp_ = false;
};
