#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "deck/DeckView.h"
#include "deck/support/EventLog.h"

// A window that records every call as "view <call> <text>" in the shared log.
class FakeView : public DeckView {
 public:
  explicit FakeView(EventLog& log) : log_(log) {}

  void ShowTC(const std::string& tc) override { add("ShowTC " + tc); }
  void ShowStatus(const std::string& text) override { add("ShowStatus " + text); }
  void clearbuttons() override {
    add("clearbuttons");
    if (onClearButtons) {
      onClearButtons();
    }
  }
  void hilight(DeckButton button) override { add("hilight " + name(button)); }
  void setCueLocked(bool locked) override { add(locked ? "lock" : "unlock"); }
  void ShowCueField(const std::string& text) override { add("cue " + text); }
  void ShowEndField(const std::string& text) override { add("end " + text); }
  void copyToClipboard(const std::string& text) override { add("clipboard " + text); }
  void openLogger() override { add("logger"); }
  void ShowStale(bool stale) override { add(stale ? "stale" : "live"); }

  // Runs in the thread handling a status reply, before the reply's bits are stored; set it
  // before the controller runs.
  std::function<void()> onClearButtons;

  // The calls alone (without the "view " prefix), in order.
  std::vector<std::string> calls() const;
  static std::string name(DeckButton button);

 private:
  void add(const std::string& call);
  EventLog& log_;
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
};
