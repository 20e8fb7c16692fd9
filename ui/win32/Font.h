#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

// A font by family, pixel size and weight, made for a screen's dots per inch: the sizes are the
// windows' design pixels at 96 dpi and grow with the screen, as the layout does. Owns its HFONT.
class Font {
 public:
  Font() = default;
  Font(const std::string& family, int pixels, bool bold, int dpi);
  ~Font();
  Font(Font&& other) noexcept;
  Font& operator=(Font&& other) noexcept;
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  HFONT handle() const { return font_; }
  explicit operator bool() const { return font_ != nullptr; }

 private:
  HFONT font_ = nullptr;
};
