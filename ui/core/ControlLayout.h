#pragma once

#include <string>
#include <vector>

// The control window's components, placed at fixed positions on a 60 x 24 grid: the deck-type
// caption, the timecode display, the transport rows, the in and out points, jog and script, the
// shuttle bar (tape decks), the converter and logger buttons and the status line. Each toolkit
// builds its window from this one table, so the windows agree to the pixel.
class ControlLayout {
 public:
  static constexpr int dx = 60;            // column pitch and standard button width
  static constexpr int dy = 24;            // row height
  static constexpr int TCfontheight = 18;  // font size of the three timecode fields
  static constexpr int shuttleHeight = 25;

  enum class Kind {
    Caption,      // the deck-type caption
    Display,      // the timecode display: read-only, red on black, timecode font
    TimeField,    // the cue (in) and end (out) fields: editable, timecode font
    Button,       // a button; bold red text when `strong`
    Shuttle,      // the shuttle bar
    StatusLabel,  // "Status/Results"
    StatusField,  // the status line: read-only
  };

  struct Item {
    Kind kind;
    std::string field;    // the component's field name ("bplay", "cuefield", "vsb", ...)
    std::string label;    // the text it shows
    std::string command;  // a button's action command ("" for the logger button)
    int x, y, w, h;
    bool strong = false;  // REC and SCRIPT: bold, red
  };

  // The components in the order they are made (which is also the keyboard's tab order).
  static ControlLayout forDeck(bool lx1, bool zarix, const std::string& note);

  const std::vector<Item>& items() const { return items_; }
  const Item* find(const std::string& field) const;
  // The window's height: the y of the status line + dy + 8.
  int height() const { return height_; }

 private:
  std::vector<Item> items_;
  int height_ = 0;
};
