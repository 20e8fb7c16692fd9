#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/core/EditorKey.h"

// The editor keys: one table, key -> action command, beside the buttons' commands so a key and
// its button cannot drift apart. `lx1Command` is the command on the LX1; Space gives
// `playingCommand` instead when the polled status says play.
class KeyMap {
 public:
  struct Binding {
    EditorKey key;
    const char* name;
    const char* command;
    const char* lx1Command;
    const char* playingCommand;  // nullptr: the same whatever the deck does
  };
  static const std::vector<Binding>& bindings();

  // The action command of a key on this deck kind.
  static std::string command(EditorKey key, bool lx1, bool playing);

  // The tooltip of each button that has keys, by action command ("Key: Space", "Keys: Space,
  // K while playing"), and the shuttle bar's.
  static std::map<std::string, std::string> tooltips(bool lx1);
  static std::string shuttleTooltip();

  // The speed byte of the J / L shuttle keys after `presses` presses in one direction: 1x, 2x,
  // 4x, then 8x play speed by speed = 10^(N/32 - 2).
  static int shuttleKeySpeed(int presses);
};
