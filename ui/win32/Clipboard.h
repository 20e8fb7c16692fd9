#pragma once

#include <string>

class Window;

// The system clipboard, as plain Unicode text.
class Clipboard {
 public:
  // Replaces the clipboard's content with the text; false when the clipboard is held elsewhere.
  static bool setText(const Window& owner, const std::string& utf8);
  static std::string text(const Window& owner);
};
