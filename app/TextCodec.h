#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The character set of the text files the operator hands in (scripts, standard EDLs, source
// EDLs). A file that is valid UTF-8 is read as UTF-8; any other file is read byte for byte as
// ISO 8859-1, so that no byte is ever lost. Inside the program text is always UTF-8, and a file
// is written back in the encoding it was read in. Lengths, columns and positions count
// characters, never bytes, so a name is never cut inside a character.
class TextCodec {
 public:
  enum class Encoding { Utf8, Latin1 };

  // Well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
  static bool isUtf8(std::string_view bytes) noexcept;
  static Encoding detect(std::string_view bytes) noexcept {
    return isUtf8(bytes) ? Encoding::Utf8 : Encoding::Latin1;
  }

  // File bytes in the given encoding -> UTF-8.
  static std::string decode(std::string_view bytes, Encoding encoding);
  // UTF-8 -> file bytes in the given encoding. A text with a character that ISO 8859-1 has no
  // byte for stays UTF-8 as a whole rather than lose that character.
  static std::string encode(std::string_view utf8, Encoding encoding);

  // The UTF-8 byte-order mark that editors' tools and Windows Notepad put at the start of a
  // file. It is no part of the text: readers skip it, and a file read with one is written back
  // with one.
  static constexpr std::string_view kBom = "\xEF\xBB\xBF";
  static bool hasBom(std::string_view bytes) noexcept { return bytes.substr(0, 3) == kBom; }
  // Removes the mark from the front of the bytes; answers whether there was one.
  static bool stripBom(std::string& bytes) {
    if (!hasBom(bytes)) {
      return false;
    }
    bytes.erase(0, kBom.size());
    return true;
  }

  // Number of characters of a UTF-8 text.
  static std::size_t length(std::string_view utf8) noexcept;
  // Byte offset of character number `chars` (the end of the text when it has fewer).
  static std::size_t offset(std::string_view utf8, std::size_t chars) noexcept;
  // Up to `count` characters from character number `first`.
  static std::string_view cut(std::string_view utf8, std::size_t first,
                              std::size_t count = std::string_view::npos) noexcept;
};
