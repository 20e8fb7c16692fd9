#include "ui/win32/Font.h"

#include <utility>

#include "app/NativeFile.h"

Font::Font(const std::string& family, int pixels, bool bold, int dpi) {
  LOGFONTW lf{};
  // A negative height asks for the character height, as a pixel size does in other toolkits.
  lf.lfHeight = -MulDiv(pixels > 0 ? pixels : 1, dpi > 0 ? dpi : 96, 96);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_TT_PRECIS;
  lf.lfQuality = CLEARTYPE_QUALITY;
  // The family decides when it is installed; otherwise the pitch picks a look-alike.
  const bool fixed = family == "MonoSpaced" || family == "Courier New" || family == "Consolas";
  lf.lfPitchAndFamily =
      static_cast<BYTE>(fixed ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS);
  const std::wstring face =
      NativeFile::wide(fixed && family == "MonoSpaced" ? "Courier New" : family);
  wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  font_ = CreateFontIndirectW(&lf);
}

Font::~Font() {
  if (font_ != nullptr) {
    DeleteObject(font_);
  }
}

Font::Font(Font&& other) noexcept : font_(std::exchange(other.font_, nullptr)) {}

Font& Font::operator=(Font&& other) noexcept {
  if (this != &other) {
    if (font_ != nullptr) {
      DeleteObject(font_);
    }
    font_ = std::exchange(other.font_, nullptr);
  }
  return *this;
}
