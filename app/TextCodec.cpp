#include "app/TextCodec.h"

namespace {

bool continuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

}  // namespace

bool TextCodec::isUtf8(std::string_view bytes) noexcept {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t extra = 0;
    unsigned char lo = 0x80;  // allowed range of the second byte
    unsigned char hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      lo = c == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
      hi = c == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      lo = c == 0xF0 ? 0x90 : 0x80;
      hi = c == 0xF4 ? 0x8F : 0xBF;
    } else {
      return false;
    }
    if (bytes.size() - i <= extra) {
      return false;
    }
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    if (second < lo || second > hi) {
      return false;
    }
    for (std::size_t k = 2; k <= extra; ++k) {
      if (!continuation(static_cast<unsigned char>(bytes[i + k]))) {
        return false;
      }
    }
    i += extra + 1;
  }
  return true;
}

std::string TextCodec::decode(std::string_view bytes, Encoding encoding) {
  if (encoding == Encoding::Utf8) {
    return std::string(bytes);
  }
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string TextCodec::encode(std::string_view utf8, Encoding encoding) {
  if (encoding == Encoding::Utf8) {
    return std::string(utf8);
  }
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out.push_back(utf8[i]);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size() &&
               continuation(static_cast<unsigned char>(utf8[i + 1]))) {
      out.push_back(static_cast<char>(((c & 0x03) << 6) | (utf8[i + 1] & 0x3F)));
      ++i;
    } else {
      return std::string(utf8);  // beyond ISO 8859-1: keep every character
    }
  }
  return out;
}

std::size_t TextCodec::length(std::string_view utf8) noexcept {
  std::size_t n = 0;
  for (char c : utf8) {
    n += continuation(static_cast<unsigned char>(c)) ? 0 : 1;
  }
  return n;
}

std::size_t TextCodec::offset(std::string_view utf8, std::size_t chars) noexcept {
  if (chars == 0) {
    return 0;
  }
  std::size_t i = 0;
  for (std::size_t seen = 0; i < utf8.size(); ++i) {
    if (!continuation(static_cast<unsigned char>(utf8[i]))) {
      if (seen == chars) {
        return i;
      }
      ++seen;
    }
  }
  return utf8.size();
}

std::string_view TextCodec::cut(std::string_view utf8, std::size_t first,
                                std::size_t count) noexcept {
  const std::size_t from = offset(utf8, first);
  const std::string_view rest = utf8.substr(from);
  return rest.substr(0, count == std::string_view::npos ? rest.size() : offset(rest, count));
}
