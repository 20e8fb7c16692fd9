#pragma once

#include <cstdint>

// An RGB colour as the windows name them (the same values as the Qt windows use).
struct Colour {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;

  friend bool operator==(const Colour&, const Colour&) = default;
};
