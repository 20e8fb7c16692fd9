#pragma once

#include <optional>
#include <string>

// The frame rate of the emulated tape: 30 frames/s, 29.97 frames/s with drop-frame counting,
// 25 or 24 frames/s. Positions on the tape are counted in the deck's own frames from 0; a label is
// the hh:mm:ss:ff a deck shows for such a frame.
//
// Drop-frame counting runs at 30000/1001 frames/s and labels frames 0 to 29 every second, but
// skips the labels ff = 00 and 01 at the start of every minute that is not a multiple of ten,
// so that the labels keep pace with the clock (1798 frames in such a minute, 1800 in the rest).
class FrameRate {
 public:
  enum class Kind { Fps30, Fps2997Df, Fps25, Fps24 };

  struct Label {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int frames = 0;
  };

  constexpr FrameRate(Kind kind = Kind::Fps30) : kind_(kind) {}

  // "30", "29.97df", "25" or "24"; nullopt for anything else.
  static std::optional<FrameRate> parse(const std::string& text);
  std::string name() const;

  Kind kind() const { return kind_; }
  bool dropFrame() const { return kind_ == Kind::Fps2997Df; }
  // The labels per second: 30, 25 or 24.
  int nominal() const;
  // The frames the clock runs through in a second of real time.
  double perSecond() const;
  // The frames of one hour of labels (01:00:00:00).
  int framesPerHour() const;

  // The label of a frame (frames below 0 count as 0). Hours run on past 23.
  Label label(int frame) const;
  // The frame of a label whose fields are in range; a drop-frame label that is skipped names
  // the frame that follows it (mm:00:00 and mm:00:01 are taken as mm:00:02).
  int frameOf(const Label& label) const;
  // Whether a label exists at this rate (fields in range and not a skipped label).
  bool exists(const Label& label) const;

  bool operator==(const FrameRate&) const = default;

 private:
  Kind kind_;
};
