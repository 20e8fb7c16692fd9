#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "sim/FrameRate.h"

// The preset and select state of a deck, apart from its transport: in and out points (with
// the previous value of each for a recall), the preroll time, the timer mode, the CTL counter
// (timer-1), user bits, the time code generator, the edit preset and the auto mode, spot erase
// and audio split switches. Positions are frames on the tape at the deck's rate; times are in
// microseconds on the emulator's clock.
//
// Its status data bits:
//   D3: b0 in set, b1 out set, b7 auto mode
//   D5: b6 insert, b5 assemble, b4 video, b3..b0 audio channels 4..1 (from the edit preset)
//   D7: b2 spot erase, b5 audio split
class DeckPresets {
 public:
  enum class Point { In, Out };

  explicit DeckPresets(FrameRate rate, std::int64_t nowUs);

  std::optional<int> point(Point which) const { return which == Point::In ? in_ : out_; }
  // Sets, shifts (a point that is not set stays unset), clears or recalls a point.
  void setPoint(Point which, int frame);
  void shiftPoint(Point which, int delta);
  void resetPoint(Point which);
  void recallPoint(Point which);

  int prerollFrames() const { return preroll_; }
  void setPrerollFrames(int frames) { preroll_ = frames; }

  // 00 time code, 01 CTL counter; FF (the deck's own choice) selects time code.
  std::uint8_t timerMode() const { return timerMode_; }
  void setTimerMode(std::uint8_t mode) { timerMode_ = mode == 0x01 ? 0x01 : 0x00; }

  // Timer-1 counts tape frames from the point where it was reset or preset; timer-2 counts
  // from the start of the tape and is never preset.
  int timer1(int tapeFrame) const { return tapeFrame - timer1Origin_; }
  void presetTimer1(int tapeFrame, int value) { timer1Origin_ = tapeFrame - value; }

  const std::array<std::uint8_t, 4>& userBits() const { return userBits_; }
  void setUserBits(const std::array<std::uint8_t, 4>& bits) { userBits_ = bits; }

  // The generator runs freely from the time it was preset to.
  int generator(std::int64_t nowUs) const;
  void presetGenerator(int frame, std::int64_t nowUs);

  void setEditPreset(std::uint8_t d1, std::uint8_t d2);
  void setAutoMode(bool on) { autoMode_ = on; }
  void setSpotErase(bool on) { spotErase_ = on; }
  void setAudioSplit(bool on) { audioSplit_ = on; }

  // Adds this state's bits to the status data D0..D15.
  void addStatus(std::array<std::uint8_t, 16>& d) const;

 private:
  std::optional<int>& ref(Point which) { return which == Point::In ? in_ : out_; }
  std::optional<int>& previous(Point which) { return which == Point::In ? prevIn_ : prevOut_; }
  void change(Point which, std::optional<int> value);

  FrameRate rate_;
  std::optional<int> in_, out_, prevIn_, prevOut_;
  int preroll_;
  std::uint8_t timerMode_ = 0x00;
  int timer1Origin_ = 0;
  std::array<std::uint8_t, 4> userBits_{};
  int generatorStart_ = 0;
  std::int64_t generatorStartUs_;
  std::uint8_t editPreset_ = 0;
  bool autoMode_ = false;
  bool spotErase_ = false;
  bool audioSplit_ = false;
};
