#include "deck/support/FakeView.h"

void FakeView::add(const std::string& call) {
  {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
  }
  log_.add("view " + call);
}

std::vector<std::string> FakeView::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::string FakeView::name(DeckButton button) {
  switch (button) {
    case DeckButton::Play:
      return "Play";
    case DeckButton::Record:
      return "Record";
    case DeckButton::Forward:
      return "Forward";
    case DeckButton::Rewind:
      return "Rewind";
    case DeckButton::Stop:
      return "Stop";
    case DeckButton::StandbyOn:
      return "StandbyOn";
    case DeckButton::JogForward:
      return "JogForward";
    case DeckButton::JogReverse:
      return "JogReverse";
    case DeckButton::Shuttle:
      return "Shuttle";
  }
  return "?";
}
