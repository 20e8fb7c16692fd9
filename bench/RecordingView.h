#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "deck/DeckView.h"

// A deck view that keeps every timecode it is asked to show with the moment of the call
// (steady_clock, the same monotonic clock as the emulator's transcript), and ignores the rest.
class RecordingView : public DeckView {
 public:
  struct Shown {
    std::int64_t us = 0;
    std::string tc;
  };

  void ShowTC(const std::string& tc) override;
  void ShowStatus(const std::string&) override {}
  void clearbuttons() override {}
  void hilight(DeckButton) override {}
  void setCueLocked(bool) override {}
  void ShowCueField(const std::string&) override {}
  void ShowEndField(const std::string&) override {}
  void copyToClipboard(const std::string&) override {}
  void openLogger() override {}

  std::vector<Shown> shown() const;
  void clear();

  static std::int64_t nowUs();

 private:
  mutable std::mutex mutex_;
  std::vector<Shown> shown_;
};
