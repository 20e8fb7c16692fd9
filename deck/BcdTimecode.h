#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/TimecodeRate.h"

// The deck's binary-coded-decimal timecode: four bytes frames, seconds, minutes, hours, each two
// digits with the tens digit in the high nibble; and the text form hh:mm:ss:ff, whose frame
// count follows a frame rate (30 frames/s unless told otherwise).
class BcdTimecode {
 public:
  // Bit 6 of the frames byte: the deck counts drop-frame timecode.
  static constexpr std::uint8_t kDropFrameBit = 0x40;

  struct Decoded {
    std::string text;        // hh:mm:ss:ff (hh:mm:ss;ff at a drop-frame rate)
    int frames = 0;          // the label's frame count at the rate
    bool dropFrame = false;  // the deck's drop-frame flag
  };

  // Minutes and seconds: both digits straight from the nibbles. Writes the two digit characters
  // into tc at pos and pos + 1 and answers the value, or nothing when a nibble is above 9.
  static std::optional<int> TCBCD(std::uint8_t b, int pos, std::string& tc);
  // Frames and hours: bits 6 and 7 carry flags (decode() keeps the drop-frame flag) and are no
  // part of the value; the units digit is taken modulo 10. Writes the two digits into tc at pos
  // and answers the value.
  static int TCFBCD(std::uint8_t b, int pos, std::string& tc);

  // Decodes the four timecode bytes of a reply (frames first). A minutes or seconds byte that is
  // not two decimal digits makes the whole reply unusable: nothing is answered.
  static std::optional<Decoded> decode(const std::uint8_t* ffssmmhh, TimecodeRate rate = {});

  // The four bytes (frames first) of a timecode text. Throws std::invalid_argument naming what
  // when the text is shorter than 11 characters or has a non-digit at a digit position.
  static std::array<std::uint8_t, 4> encode(const std::string& text, const std::string& what);
  // The frame count of a timecode text at the rate, with the same checks as encode().
  static int framesOf(const std::string& text, const std::string& what, TimecodeRate rate = {});

  // The low 8 bits of the sum of the bytes: the frame checksum.
  static std::uint8_t checksum(const std::uint8_t* bytes, std::size_t count);

 private:
  static void check(const std::string& text, const std::string& what);
  static int field(const std::string& text, int pos) {
    return (text[pos] - '0') * 10 + (text[pos + 1] - '0');
  }
};
