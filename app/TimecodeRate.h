#pragma once

#include <optional>
#include <string>
#include <string_view>

// The frame rate that timecode labels count in, and the arithmetic between a label
// (hours, minutes, seconds, frames) and a frame count at that rate. One value of this type is
// shared by the logger, the converter and the deck controller, so they all count alike.
//
// At 30, 25 and 24 a label counts plainly: ((hh * 60 + mm) * 60 + ss) * rate + ff. At 29.97
// drop-frame the frames of every second are labelled 00 to 29, but the labels 00 and 01 of
// every minute that is not a multiple of ten are skipped, so 10 minutes hold 17982 frames and
// the labels keep pace with the clock. A skipped label counts as the frame that follows it.
class TimecodeRate {
 public:
  enum class Kind { Fps30, Fps25, Fps24, Fps2997Df };

  struct Fields {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int frames = 0;
  };

  constexpr TimecodeRate(Kind kind = Kind::Fps30) : kind_(kind) {}

  // "30", "25", "24" or "29.97DF" (letter case ignored); nothing for any other text.
  static std::optional<TimecodeRate> parse(std::string_view text);
  // The setting's text: "30", "25", "24" or "29.97DF".
  std::string name() const;

  Kind kind() const { return kind_; }
  bool dropFrame() const { return kind_ == Kind::Fps2997Df; }
  // Labels per second: 30, 25 or 24 (30 at drop-frame).
  int nominal() const;
  int framesPerHour() const;
  // Frames that play in the given number of minutes of running time (rounded down at
  // drop-frame, where a minute holds 1798.2 frames on average).
  int framesIn(int minutes) const;
  // The character written before the frames: ';' at drop-frame, ':' otherwise.
  char separator() const { return dropFrame() ? ';' : ':'; }

  // Frame count of a label. Fields beyond their range are counted as they are (the arithmetic
  // is the plain weighted sum); a skipped drop-frame label counts as the next frame.
  int count(const Fields& f) const;
  // The label of a frame count. Non-drop rates divide with truncation toward zero, so a
  // negative count gives signed pieces; hours are not wrapped at 24.
  Fields fields(int count) const;
  // Whether a label exists at this rate: fields in range and not a skipped label.
  bool exists(const Fields& f) const;
  // The text hh:mm:ss?ff of a frame count, with separator() before the frames. Each field is
  // written as its tens and its units (100 hours give "100", -5 frames give "0-5").
  std::string text(int count) const;

  bool operator==(const TimecodeRate&) const = default;

 private:
  Kind kind_;
};
