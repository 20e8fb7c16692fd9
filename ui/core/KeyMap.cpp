#include "ui/core/KeyMap.h"

#include <algorithm>

const std::vector<KeyMap::Binding>& KeyMap::bindings() {
  static const std::vector<Binding> keys = {
      {EditorKey::Space, "Space", "Play", "Play", "Pause"},
      {EditorKey::K, "K", "Pause", "Pause", nullptr},
      // The LX1 has no shuttle: J and L are its jog buttons.
      {EditorKey::J, "J", "ShuttleRev", "Jogr", nullptr},
      {EditorKey::L, "L", "ShuttleFwd", "Jogf", nullptr},
      {EditorKey::Left, "Left", "Jogr", "Jogr", nullptr},
      {EditorKey::Right, "Right", "Jogf", "Jogf", nullptr},
      {EditorKey::I, "I", "SetCue", "SetCue", nullptr},
      {EditorKey::O, "O", "SetRev", "SetRev", nullptr},
      {EditorKey::Escape, "Escape", "Stop", "Stop", nullptr},
  };
  return keys;
}

std::string KeyMap::command(EditorKey key, bool lx1, bool playing) {
  for (const Binding& k : bindings()) {
    if (k.key == key) {
      return playing && k.playingCommand != nullptr ? k.playingCommand
                                                    : (lx1 ? k.lx1Command : k.command);
    }
  }
  return {};
}

std::map<std::string, std::string> KeyMap::tooltips(bool lx1) {
  std::map<std::string, std::vector<std::string>> keysOf;
  for (const Binding& k : bindings()) {
    keysOf[lx1 ? k.lx1Command : k.command].push_back(k.name);
    if (k.playingCommand != nullptr) {
      keysOf[k.playingCommand].push_back(std::string(k.name) + " while playing");
    }
  }
  std::map<std::string, std::string> tips;
  for (const auto& [command, names] : keysOf) {
    std::string tip = names.size() > 1 ? "Keys: " : "Key: ";
    for (std::size_t i = 0; i < names.size(); ++i) {
      tip += (i > 0 ? ", " : "") + names[i];
    }
    tips[command] = tip;
  }
  return tips;
}

std::string KeyMap::shuttleTooltip() {
  return "Keys: J / L (1x, 2x, 4x, 8x on repeated presses)";
}

int KeyMap::shuttleKeySpeed(int presses) {
  // 10^(N/32 - 2) = 1, 2, 4, 8 for N = 64, 74, 83, 93.
  static constexpr int kSpeeds[] = {64, 74, 83, 93};
  return kSpeeds[std::clamp(presses, 1, 4) - 1];
}
