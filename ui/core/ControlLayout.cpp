#include "ui/core/ControlLayout.h"

const ControlLayout::Item* ControlLayout::find(const std::string& field) const {
  for (const Item& item : items_) {
    if (item.field == field) {
      return &item;
    }
  }
  return nullptr;
}

ControlLayout ControlLayout::forDeck(bool lx1, bool zarix, const std::string& note) {
  ControlLayout layout;
  auto& items = layout.items_;
  const bool tape = !lx1;
  const int x0 = 5;  // inner left of the client area + 5
  auto x = [x0](int k) { return x0 + k * dx; };
  auto button = [&items](const char* field, const char* label, const char* command, int bx, int by,
                         int w = dx) {
    items.push_back({Kind::Button, field, label, command, bx, by, w, dy});
  };

  // Row 1: deck-type caption and the timecode display.
  int y = 5;
  const char* kind = zarix ? "REC Controls - " : (lx1 ? "LX1 Controls - " : "VTR Controls - ");
  items.push_back({Kind::Caption, zarix ? "zarixlabel" : (lx1 ? "lx1label" : "vcrlabel"),
                   kind + note, "", x(0), y, 180, dy});
  items.push_back({Kind::Display, "tcfield", "00:00:00:00", "", x(3), y, 2 * dx, dy});

  // Row 2: the main transport.
  y += dy + 8;
  button("brew", "<< Rew", "Rewind", x(0), y);
  button("bpause", "Pause ||", "Pause", x(1), y);
  button("bstop", "Stop *", "Stop", x(2), y);
  button("bplay", "Play >", "Play", x(3), y);
  button("bfwd", "Fwd >>", "Forward", x(4), y);

  // Row 3: slow and fast speeds (tape types).
  if (tape) {
    y += dy + 4;
    button("bslowfifth", "Slow/5", "Slow5", x(0), y);
    button("bslowthird", "Slow/3", "Slow3", x(1), y);
    button("bslowhalf", "Slow/2", "Slow2", x(2), y);
    button("bfasttwo", "FastX2", "Fast2", x(3), y);
    button("bfastfive", "FastX5", "Fast5", x(4), y);
  }

  // Row 4: E-E, record, standby.
  y += dy + 4;
  if (tape) {
    button("beeon", "EEOn", "EEOn", x(0), y);
    button("beeoff", "EEOff", "EEOff", x(1), y);
  }
  button("brecord", "REC", "Record", x(2), y);
  items.back().strong = true;
  if (tape) {
    button("bsbyon", "SbyON", "Sbyon", x(3), y);
    button("bsbyoff", "SbyOFF", "Sbyoff", x(4), y);
  }

  // Row 5: in and out points.
  y += dy + 10;
  button("bsetcue", "SetIn", "SetCue", x(0), y);
  button("bcue", "CueIn", "Cue", x(1), y);
  button("bcueplay", "Cue/Play", "Cueplay", x(2), y);
  button("bsetreview", "SetOut", "SetRev", x(3), y);
  button("bcueout", "CueOut", "CueOut", x(4), y);

  // Row 6: the cue and end fields with Review between them.
  y += dy + 6;
  items.push_back({Kind::TimeField, "cuefield", "00:00:00:00", "", x(0), y, 2 * dx, dy});
  button("breview", "Review", "Review", x(2), y);
  items.push_back({Kind::TimeField, "endfield", "00:00:00:00", "", x(3), y, 2 * dx, dy});

  // Row 7: jog and script.
  y += dy + (lx1 ? 6 : 8);
  button("bjogr", "<| Jog", "Jogr", x(0), y, 2 * dx - 20);
  button("bscript", "SCRIPT", "SCRIPT", x(2), y);
  items.back().strong = true;
  button("bjogf", "Jog |>", "Jogf", x(3) + 20, y, 2 * dx - 20);

  // Row 8: the shuttle bar (tape types).
  if (tape) {
    y += dy + 8;
    items.push_back({Kind::Shuttle, "vsb", "", "", x(0), y, 5 * dx, shuttleHeight});
  }

  // Row 9: converter and logger windows.
  y += dy + 6;
  button("btavlist", "LX1 Tavlist", "Tavlist", x(0), y, 2 * dx - 20);
  button("blogger", "Logger Window", "", x(3) + 20, y, 2 * dx - 20);

  // Rows 10 and 11: the status line.
  y += dy + 2;
  items.push_back({Kind::StatusLabel, "statuslabel", "Status/Results", "", x(0), y, 100, dy});
  y += dy;
  items.push_back({Kind::StatusField, "statusfield", "", "", x(0), y, 5 * dx, dy});
  layout.height_ = y + dy + 8;
  return layout;
}
