#include "edl/SourceEvent.h"

#include "app/TextCodec.h"
#include "edl/ConverterOptions.h"

std::optional<SourceEvent> SourceEvent::recognise(std::string_view line) {
  // Columns count characters; the line is UTF-8 (see TextCodec).
  if (TextCodec::length(line) < 20) {
    return std::nullopt;
  }
  const auto p = line.find(':');
  if (p == std::string_view::npos || TextCodec::length(line.substr(0, p)) < 20) {
    return std::nullopt;
  }
  if (!isnumeric(line[p - 1])) {
    return std::nullopt;
  }
  // The first timecode starts two characters before the colon: the digit, and the character
  // before it, whatever its length in bytes.
  std::size_t start = p - 2;
  while (start > 0 && (static_cast<unsigned char>(line[start]) & 0xC0) == 0x80) {
    --start;
  }
  const std::string_view t = line.substr(start);
  if (TextCodec::length(t) <= 5 || TextCodec::cut(t, 5, 1) != ":") {
    return std::nullopt;
  }
  // Source out follows one blank, or two when the line pads the columns.
  const std::size_t outAt = TextCodec::cut(t, 12, 1) == " " ? 13 : 12;
  if (TextCodec::length(t) < outAt + 11) {
    return std::nullopt;
  }
  SourceEvent ev;
  ev.timestring1 = std::string(TextCodec::cut(t, 0, 11));
  ev.timestring2 = std::string(TextCodec::cut(t, outAt, 11));
  return ev;
}

std::optional<int> SourceEvent::calcframes(std::string_view timecode, TimecodeRate rate) {
  if (timecode.size() < 11) {
    return std::nullopt;
  }
  int digits[8];
  static constexpr int kPositions[8] = {0, 1, 3, 4, 6, 7, 9, 10};
  for (int i = 0; i < 8; ++i) {
    const char c = timecode[kPositions[i]];
    if (!isnumeric(c)) {
      return std::nullopt;
    }
    digits[i] = c - '0';
  }
  return rate.count({digits[0] * 10 + digits[1], digits[2] * 10 + digits[3],
                     digits[4] * 10 + digits[5], digits[6] * 10 + digits[7]});
}

std::string SourceEvent::cutname(std::string_view line, const ConverterOptions& opts,
                                 const char* fallback) {
  std::string name = fallback;
  const int first = opts.namefirst < 0 ? 0 : opts.namefirst;
  const int last = opts.namelast;
  // Columns count characters, so a name is never cut inside one.
  if (last > first && TextCodec::length(line) > static_cast<std::size_t>(last)) {
    name = std::string(TextCodec::cut(line, first, last - first));
    if (name.size() > 2) {
      name = shortenchaptername(name, opts.namedelimiter);
    }
  }
  return name;
}

std::string SourceEvent::gettitlename(std::string_view line, const ConverterOptions& opts) {
  return "T-N " + cutname(line, opts, "TitleName");
}

std::string SourceEvent::getchaptername(std::string_view line, const ConverterOptions& opts) {
  return "C-N " + cutname(line, opts, "Chapter");
}

std::string SourceEvent::shortenchaptername(std::string_view name, std::string_view delimiter) {
  // An empty delimiter setting leaves nothing to write for a blank run; a single blank keeps
  // the name parts apart instead.
  const char d = delimiter.empty() ? ' ' : delimiter.front();
  std::string buf(name.size(), ' ');
  std::size_t w = 0;
  std::size_t i = 0;
  while (i < name.size()) {
    if (name[i] == ' ') {
      while (i < name.size() && name[i] == ' ') {
        ++i;
      }
      buf[w++] = d;
    } else {
      buf[w++] = name[i++];
    }
  }
  if (w > 0 && buf[w - 1] == d) {
    return buf.substr(0, w - 1);
  }
  return buf;
}
