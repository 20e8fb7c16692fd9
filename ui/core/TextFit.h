#pragma once

#include <functional>
#include <string>
#include <vector>

// Text that must show whole in a component of fixed size: the largest font size, from the
// preferred one down, at which the toolkit measures the text within the room it has. Each
// toolkit measures with its own fonts at the screen's dpi; the rule is the same everywhere.
class TextFit {
 public:
  // `widthAt(size)` is the text's width in pixels at that font size. Answers `preferred` when
  // the text fits at it, else the largest smaller size that fits, and `smallest` when none does.
  static int size(int preferred, int smallest, int room, const std::function<int(int)>& widthAt) {
    for (int s = preferred; s > smallest; --s) {
      if (widthAt(s) <= room) {
        return s;
      }
    }
    return smallest;
  }

  // Every text a timecode field may show, as far as its width goes: each digit in every place,
  // with ":" and with the drop-frame ";" before the frames.
  static std::vector<std::string> timecodes() {
    std::vector<std::string> texts;
    for (char d = '0'; d <= '9'; ++d) {
      const std::string dd(2, d);
      texts.push_back(dd + ":" + dd + ":" + dd + ":" + dd);
      texts.push_back(dd + ":" + dd + ":" + dd + ";" + dd);
    }
    return texts;
  }

  // Every three-digit event number, "000" to "999".
  static std::vector<std::string> eventNumbers() {
    std::vector<std::string> texts;
    for (int n = 0; n <= 999; ++n) {
      const std::string s = std::to_string(n);
      texts.push_back(std::string(3 - s.size(), '0') + s);
    }
    return texts;
  }
};
