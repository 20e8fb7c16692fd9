#pragma once

#include <array>
#include <cstdint>

#include "sim/EmulatorOptions.h"

// What the tape transport is doing.
enum class TransportMode {
  Stop,
  Play,
  Record,
  FastForward,
  Rewind,
  Shuttle,  // shuttle at the speed of the last speed byte; speed 0 is a still (pause)
  Jog,
  Variable,  // variable / slow speed
  Cueing,    // winding to a cue point
  Still,     // arrived at a cue point, cued up
};

// The transport of a 9-pin tape deck on the frame clock of its rate (30, 29.97 or 25 frames/s).
// Nothing runs in the background:
// every call takes the current time and the position is worked out from the time elapsed
// since the last change of motion, so a test can step time exactly.
//
// The tape lies between 0 and the configured end; a transport that reaches either end stops
// there. Status data bytes (numbered from D0) follow the deck's status sense layout:
//   D0: b5 media out (after an eject)
//   D1: b0 play (also while recording), b1 record, b2 FF, b3 REW, b4 eject, b5 stop,
//       b7 standby
//   D2: b0 cue-up complete, b1 still, b2 direction (1 = reverse), b3 variable speed, b4 jog,
//       b5 shuttle
//   D4: b0 cueing in progress (pre-roll), b4 edit, b6 full E-E, b7 select E-E
class TransportModel {
 public:
  TransportModel(const EmulatorOptions& options, std::int64_t nowUs);

  void play(std::int64_t nowUs);
  void record(std::int64_t nowUs);
  void stop(std::int64_t nowUs);
  void fastForward(std::int64_t nowUs);
  void rewind(std::int64_t nowUs);
  void shuttle(std::uint8_t speedByte, bool reverse, std::int64_t nowUs);
  void jog(std::uint8_t speedByte, bool reverse, std::int64_t nowUs);
  void variable(std::uint8_t speedByte, bool reverse, std::int64_t nowUs);
  // The two-byte forms: the second byte refines the speed between N and N + 1.
  void shuttle(std::uint8_t speedByte, std::uint8_t fine, bool reverse, std::int64_t nowUs);
  void jog(std::uint8_t speedByte, std::uint8_t fine, bool reverse, std::int64_t nowUs);
  void variable(std::uint8_t speedByte, std::uint8_t fine, bool reverse, std::int64_t nowUs);
  // Moves one frame from the frame it stands in, then stills there.
  void frameStep(bool reverse, std::int64_t nowUs);
  // Stops and puts the cassette out: the transport then ignores every motion command.
  void eject(std::int64_t nowUs);
  // Winds to the target frame (clamped to the tape), then stills there cued up.
  void cue(int targetFrame, std::int64_t nowUs);
  // Standby off drops the drum: a transport that is not stopped stops.
  void setStandby(bool on, std::int64_t nowUs);
  // Full E-E (all inputs to the outputs) and select E-E (the preset channels); Edit Off ends
  // select E-E and edit mode.
  void setEE(bool on) { ee_ = on; }
  void setSelectEE(bool on) { selectEE_ = on; }
  void setEdit(bool on);

  int frame(std::int64_t nowUs);
  TransportMode mode(std::int64_t nowUs);
  bool cuedUp(std::int64_t nowUs);
  // Signed speed as a multiple of play speed (negative = reverse).
  double speed(std::int64_t nowUs);
  bool standby() const { return standby_; }
  bool ee() const { return ee_; }
  bool selectEE() const { return selectEE_; }
  bool ejected() const { return ejected_; }
  int endFrame() const { return end_; }
  FrameRate rate() const { return rate_; }
  static const char* modeName(TransportMode mode);
  // The status data bytes D0 to D15.
  std::array<std::uint8_t, 16> statusData(std::int64_t nowUs);

  // The speed a shuttle, jog or variable speed byte asks for: 10^(N/32 - 2) x play, 0 for N = 0.
  static double speedFromByte(std::uint8_t n);
  // The same with a second byte: s(N) + fine / 256 x (s(N + 1) - s(N)).
  static double speedFromBytes(std::uint8_t n, std::uint8_t fine);
  // How long a cue-up over this many frames takes, in microseconds.
  std::int64_t cueDurationUs(int distanceFrames) const;

 private:
  void advance(std::int64_t nowUs);
  double exactPosition(std::int64_t nowUs);
  void startMotion(TransportMode mode, double speedXPlay, bool reverse, std::int64_t nowUs);

  FrameRate rate_;
  int end_;
  double windSpeed_;
  int cueMinMs_;
  int cueMaxMs_;

  TransportMode mode_ = TransportMode::Stop;
  double anchorPos_;       // position (frames) at anchorUs_
  std::int64_t anchorUs_;  // time of the last change of motion
  double fps_ = 0.0;       // signed frames per second of the current motion
  bool reverse_ = false;
  bool still_ = false;  // a shuttle / jog / variable speed of 0
  bool cuedUp_ = false;
  bool standby_ = false;
  bool ee_ = false;
  bool selectEE_ = false;
  bool edit_ = false;
  bool ejected_ = false;
  double cueTarget_ = 0.0;
  std::int64_t cueEndUs_ = 0;
};
