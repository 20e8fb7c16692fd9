#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/TimecodeRate.h"

struct ConverterOptions;

// One event recognised in a source EDL line: its source in and source out timecodes, and the
// line-level helpers around it (frame count, title and chapter names cut from columns).
class SourceEvent {
 public:
  std::string timestring1;  // source in, 11 characters
  std::string timestring2;  // source out, 11 characters

  // Recognises an event line: at least 20 characters, its first ':' at column 20 or later with
  // a digit before it and another ':' three places after it; the first timecode starts two
  // characters before that colon, the second follows after one or two blanks. A line that ends
  // before the second timecode is complete is no event.
  static std::optional<SourceEvent> recognise(std::string_view line);

  // Frame count at the rate (30 frames per second, no drop-frame correction, unless told
  // otherwise); the separators are not looked at. nullopt when a digit position holds
  // anything but a digit, or the text is short.
  static std::optional<int> calcframes(std::string_view timecode, TimecodeRate rate = {});

  static bool isnumeric(char c) { return c >= '0' && c <= '9'; }
  static bool iscolon(char c) { return c == ':'; }

  // "T-N " / "C-N " followed by the name cut from columns namefirst..namelast of the line, or
  // by "TitleName" / "Chapter" when the line does not reach namelast.
  static std::string gettitlename(std::string_view line, const ConverterOptions& opts);
  static std::string getchaptername(std::string_view line, const ConverterOptions& opts);

  // Turns each run of blanks into one delimiter and drops a trailing delimiter; when the last
  // written character is not the delimiter the text keeps its length, padded with blanks.
  static std::string shortenchaptername(std::string_view name, std::string_view delimiter);

 private:
  static std::string cutname(std::string_view line, const ConverterOptions& opts,
                             const char* fallback);
};
