#pragma once

#include <functional>

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
};
