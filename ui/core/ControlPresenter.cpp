#include "ui/core/ControlPresenter.h"

#include <exception>
#include <iostream>

#include "deck/CommandTable.h"
#include "deck/LocalVCR.h"
#include "ui/core/KeyMap.h"

ControlPresenter::ControlPresenter(ControlView& view, bool lx1, bool zarix, bool lanc)
    : view_(view), lx1_(lx1), zarix_(zarix), lanc_(lanc) {}

void ControlPresenter::report(const char* where, const char* what) const {
  // One line on standard output for an error stopped at the window, so the window goes on.
  std::cout << where << " error: " << (what != nullptr ? what : "unknown") << std::endl;
}

// ---------------------------------------------------------------------------------------------
// Dispatcher

std::function<void()> ControlPresenter::actionFor(const std::string& command) const {
  LocalVCR* v = vcr_;
  // The fixed 600 ms pauses use the controller's own pause, which ends at once when it closes
  // or the operator takes the sequence over.
  if (command == "EEOff") {
    // The button jogs the deck out of E-E: jog forward, stop, jog back, stop.
    return [v] {
      v->jogf();
      if (!v->DelayT(600)) {
        return;
      }
      v->stop();
      v->jogr();
      if (!v->DelayT(600)) {
        return;
      }
      v->stop();
    };
  }
  if (command == "Jogf" && !lx1_ && !lanc_) {
    return [v] {
      v->jogf();
      if (v->DelayT(600)) {
        v->stop();
      }
    };
  }
  if (command == "Jogr" && !lx1_) {
    if (lanc_) {
      return [v] {
        v->jogr();
        v->pause();
      };
    }
    return [v] {
      v->jogr();
      if (v->DelayT(600)) {
        v->stop();
      }
    };
  }
  // Every other button runs its one operation from the command table ("Tavlist": none, only
  // the status line).
  const DeckCommand* entry = CommandTable::forButton(command);
  if (entry == nullptr || entry->run == nullptr) {
    return {};
  }
  auto op = entry->run;
  return [v, op] { (v->*op)(); };
}

void ControlPresenter::pressed(const std::string& command) {
  if (command == "Tavlist") {
    // The converter window opens first, then the dispatcher shows the command.
    try {
      view_.openConverter();
    } catch (const std::exception& e) {
      report("Converter window", e.what());
    }
  }
  dispatch(command);
}

void ControlPresenter::dispatch(const std::string& command) {
  view_.showField(ControlView::Field::Status, command);
  const bool shuttleKey = command == "ShuttleFwd" || command == "ShuttleRev";
  if (!shuttleKey) {
    shuttleKeyPresses_ = 0;
  }
  if (vcr_ == nullptr) {
    return;
  }
  // SetIn and SetOut take the timecode shown at the press, not when the worker is free.
  if (command == "SetCue" || command == "SetRev") {
    const std::string tc = vcr_->tcText();
    try {
      if (command == "SetCue") {
        vcr_->setCueText(tc);
        vcr_->MakeCueString();
      } else {
        vcr_->setEndText(tc);
      }
    } catch (const std::exception& e) {
      report("Button", e.what());
    }
    return;
  }
  if (shuttleKey) {
    const int dir = command == "ShuttleFwd" ? 1 : -1;
    shuttleKeyPresses_ = dir == shuttleKeyDir_ ? shuttleKeyPresses_ + 1 : 1;
    shuttleKeyDir_ = dir;
    const int speed = KeyMap::shuttleKeySpeed(shuttleKeyPresses_);
    LocalVCR* v = vcr_;
    postToWorker(dir > 0 ? std::function<void()>([v, speed] { v->shutfwd(speed); })
                         : std::function<void()>([v, speed] { v->shutrev(speed); }),
                 Post::Takeover);
    return;
  }
  auto action = actionFor(command);
  if (!action) {
    return;
  }
  // The sequences with waits: the E-E off button, and the jog buttons of tape decks that stop
  // 600 ms later.
  const bool tapeJog = !lx1_ && !lanc_ && (command == "Jogf" || command == "Jogr");
  const bool sequence = command == "EEOff" || tapeJog;
  Post how = Post::Plain;
  if (isTransport(command)) {
    how = sequence ? Post::TakeoverRun : Post::Takeover;
  } else if (const DeckCommand* entry = CommandTable::forButton(command);
             entry != nullptr && entry->kind == CommandClass::Run) {
    how = Post::Run;
  }
  postToWorker(std::move(action), how);
}

bool ControlPresenter::isTransport(const std::string& command) {
  const DeckCommand* entry = CommandTable::forButton(command);
  return entry != nullptr && entry->kind == CommandClass::Transport;
}

void ControlPresenter::postToWorker(std::function<void()> action, Post how) {
  lastPostWasShuttle_ = false;
  try {
    switch (how) {
      case Post::Plain:
        vcr_->post(std::move(action));
        break;
      case Post::Run:
        vcr_->postRun(std::move(action));
        break;
      case Post::Takeover:
      case Post::TakeoverRun:
        vcr_->takeover(std::move(action), how == Post::TakeoverRun);
        break;
    }
  } catch (const std::exception& e) {
    report("Button", e.what());
  } catch (...) {
    report("Button", nullptr);
  }
}

bool ControlPresenter::key(EditorKey key, bool inTextField, bool autoRepeat) {
  if (inTextField && key != EditorKey::Escape) {
    return false;
  }
  if (autoRepeat) {
    return true;  // a held key repeats; one press is one action
  }
  const bool playing =
      vcr_ != nullptr && vcr_->getStatusString().find("Play ") != std::string::npos;
  const std::string command = KeyMap::command(key, lx1_, playing);
  if (command.empty()) {
    return false;
  }
  dispatch(command);
  return true;
}

int ControlPresenter::shuttleSpeed(int value) {
  if (value >= 54) {
    return 2 * (value - shuttleCentre);
  }
  if (value <= 42) {
    return -2 * (shuttleCentre - value);
  }
  return 0;
}

void ControlPresenter::shuttleMoved(int value) {
  shuttle_ = value;
  if (vcr_ == nullptr) {
    return;
  }
  // A move still waiting in the queue takes the newest value; once the worker has taken it
  // (slot -1) or anything else was posted since, the move gets its own place in the order.
  if (lastPostWasShuttle_ && shuttleSlot_ && shuttleSlot_->exchange(value) != -1) {
    return;
  }
  auto slot = std::make_shared<std::atomic<int>>(value);
  shuttleSlot_ = slot;
  LocalVCR* v = vcr_;
  shuttleKeyPresses_ = 0;
  postToWorker(
      [v, slot] {
        const int taken = slot->exchange(-1);
        if (taken < 0) {
          return;
        }
        const int speed = shuttleSpeed(taken);
        if (speed > 0) {
          v->shutfwd(speed);
        } else if (speed < 0) {
          v->shutrev(-speed);
        } else {
          // The bar's own pause: the frame alone, so the bar is not sent back to its centre
          // under the operator's hand (only tape decks have the bar).
          v->CommandB0(LocalVCR::bspause);
        }
      },
      Post::Takeover);
  lastPostWasShuttle_ = true;
}

void ControlPresenter::cueEntered(const std::string& text) {
  if (vcr_ == nullptr) {
    return;
  }
  vcr_->editCueText(text);
  LocalVCR* v = vcr_;
  postToWorker([v] { v->MakeCueString(); }, Post::Plain);
}

void ControlPresenter::cueEdited(const std::string& text) {
  if (vcr_ != nullptr) {
    vcr_->editCueText(text);
  }
}

void ControlPresenter::endEdited(const std::string& text) {
  if (vcr_ != nullptr) {
    vcr_->editEndText(text);
  }
}

void ControlPresenter::loggerPressed() {
  if (vcr_ == nullptr) {
    return;
  }
  // CommandBLogger only asks this window (queued) to open the logger, so it runs here rather
  // than behind a running script in the worker's queue: the logger opens at once.
  try {
    vcr_->CommandBLogger();
  } catch (const std::exception& e) {
    report("Logger", e.what());
  } catch (...) {
    report("Logger", nullptr);
  }
}

void ControlPresenter::loggerClosed() {
  view_.showLoggerButton(true);
}

bool ControlPresenter::close() {
  if (closing_) {
    return false;
  }
  closing_ = true;
  // The controller stops polling and the worker, then sends its closing Stop frames.
  if (vcr_ != nullptr) {
    try {
      vcr_->close();
    } catch (const std::exception& e) {
      report("Close", e.what());
    } catch (...) {
      report("Close", nullptr);
    }
  }
  view_.closeOtherWindows();
  return true;
}

bool ControlPresenter::hasComponent(DeckButton button) const {
  return !(lx1_ && (button == DeckButton::StandbyOn || button == DeckButton::Shuttle));
}

// ---------------------------------------------------------------------------------------------
// DeckView

void ControlPresenter::ShowTC(const std::string& tc) {
  {
    // A stopped deck reports the same timecode on every poll: nothing to post or to draw.
    const std::lock_guard lock(shownTcMutex_);
    if (tc == shownTc_) {
      return;
    }
    shownTc_ = tc;
  }
  view_.post([this, tc] { view_.showField(ControlView::Field::Timecode, tc); });
}

void ControlPresenter::ShowStatus(const std::string& text) {
  view_.post([this, text] {
    view_.showField(ControlView::Field::Status, text);
    settleHighlights();  // the status poll's highlights have all arrived before its text
  });
}

void ControlPresenter::clearbuttons() {
  view_.post([this] {
    // Each status poll clears the bars and lights them again. The new set is gathered first and
    // compared with the bars shown when it is complete (the status text follows it, or the
    // timer runs out), so only a bar that changed is drawn.
    nextHighlights_.clear();
    if (!gathering_) {
      gathering_ = true;
      const int round = ++settleRound_;
      view_.after(kSettleMs, [this, round] {
        if (round == settleRound_) {
          settleHighlights();
        }
      });
    }
  });
}

void ControlPresenter::hilight(DeckButton button) {
  view_.post([this, button] {
    if (!hasComponent(button)) {
      return;
    }
    if (gathering_) {
      nextHighlights_.insert(button);
    } else if (highlighted_.insert(button).second) {
      view_.repaintBar(button);
    }
  });
}

void ControlPresenter::settleHighlights() {
  if (!gathering_) {
    return;
  }
  gathering_ = false;
  ++settleRound_;  // the timer of this round no longer settles anything
  for (DeckButton b : {DeckButton::Play, DeckButton::Record, DeckButton::Forward,
                       DeckButton::Rewind, DeckButton::Stop, DeckButton::StandbyOn,
                       DeckButton::JogForward, DeckButton::JogReverse, DeckButton::Shuttle}) {
    if (hasComponent(b) && highlighted_.count(b) != nextHighlights_.count(b)) {
      view_.repaintBar(b);
    }
  }
  highlighted_ = std::move(nextHighlights_);
  nextHighlights_.clear();
}

void ControlPresenter::setCueLocked(bool locked) {
  view_.post([this, locked] {
    cueLocked_ = locked;
    view_.showCueLock(locked);
  });
}

void ControlPresenter::ShowCueField(const std::string& text) {
  view_.post([this, text] { view_.showField(ControlView::Field::Cue, text); });
}

void ControlPresenter::ShowEndField(const std::string& text) {
  view_.post([this, text] { view_.showField(ControlView::Field::End, text); });
}

void ControlPresenter::copyToClipboard(const std::string& text) {
  view_.post([this, text] { view_.copyText(text); });
}

void ControlPresenter::openLogger() {
  view_.post([this] {
    if (closing_ || vcr_ == nullptr || view_.raiseLogger()) {
      return;
    }
    try {
      view_.openLogger(*vcr_);
      view_.showLoggerButton(false);
    } catch (const std::exception& e) {
      report("Logger", e.what());
    }
  });
}

void ControlPresenter::ShowStale(bool stale) {
  view_.post([this, stale] {
    if (stale_ == stale) {
      return;
    }
    stale_ = stale;
    view_.showStale(stale);
    if (stale) {
      // A deck that does not answer is in no known state: no bar claims one.
      gathering_ = false;
      ++settleRound_;
      nextHighlights_.clear();
      const auto shown = std::move(highlighted_);
      highlighted_.clear();
      for (DeckButton b : shown) {
        view_.repaintBar(b);
      }
    }
  });
}

void ControlPresenter::centreShuttle() {
  view_.post([this] {
    // A bar in its pause zone stays where the operator holds it; elsewhere it would shuttle
    // the deck again at its old speed on the next small move.
    if (shuttleSpeed(shuttle_) == 0) {
      return;
    }
    shuttle_ = shuttleCentre;
    lastPostWasShuttle_ = false;
    view_.showShuttle(shuttleCentre);
  });
}
