#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "sim/FrameRate.h"

// The kind of deck the emulator plays. All kinds answer the same frames; the kind is kept so
// that a transcript or a test can tell which deck a session pretended to be.
enum class DeckKind { Vtr, Lx1, Zarix, Lanc };

// A monotonic clock in microseconds. The emulator reads time only through it, so tests can
// drive the deck with exact, instant time steps.
using SimClockFn = std::function<std::int64_t()>;

// Everything that shapes one emulated deck. Times on the tape are counts of the deck's frames
// at its frame rate (at 30 frames/s: hh * 108000 + mm * 1800 + ss * 30 + ff). Every fault is
// off by default.
struct EmulatorOptions {
  DeckKind deck = DeckKind::Vtr;
  FrameRate rate;  // the tape's frame rate: 30 frames/s by default
  std::array<std::uint8_t, 2> deviceId = {0xF0, 0x00};  // answered to a device type request
  int startFrame = 0;           // where the tape stands when the deck is made
  std::optional<int> endFrame;  // the end of the tape, where the transport stops;
                                // empty: two hours (02:00:00:00 at the rate)
  double windSpeed = 50.0;      // FF and REW, as a multiple of play speed
  int cueMinMs = 500;           // a cue-up takes at least this long, even for a short distance
  int cueMaxMs = 4000;          // and this long for a distance of an hour or more
  // A real transport halts some frames after the command: Stop, a still (Pause) and a cue-up
  // take effect this many frames after the frame arrives. Another transport command that comes
  // in meanwhile makes them take effect first, then its own.
  int stopLatencyFrames = 0;

  // Fault injection. Replies are counted from 1; "every N" hits replies N, 2N, 3N ...
  int replyDelayMs = 0;    // every reply becomes readable this late
  int dropEvery = 0;       // swallow every Nth reply
  double dropProb = 0.0;   // swallow each reply with this probability ...
  std::uint32_t seed = 1;  // ... drawn from a generator with this seed (also garbage bytes)
  int corruptEvery = 0;    // send every Nth reply with a wrong checksum
  int garbageEvery = 0;    // put one to three stray bytes before every Nth reply
  int splitEvery = 0;      // send every Nth reply in several writes about 1 ms apart
  int hangupAfter = 0;     // hang up after answering this many frames

  std::string transcriptPath;  // when set, every frame in and out is logged there
  SimClockFn clock;            // empty: CLOCK_MONOTONIC
};
