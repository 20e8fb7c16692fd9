#pragma once

#include <functional>
#include <string>

#include "deck/DeckView.h"

class LocalVCR;

// What the control window's decisions need of a window toolkit. Every call but post() comes on
// the window's own thread. A view draws and forwards events; it decides nothing.
class ControlView {
 public:
  enum class Field { Timecode, Cue, End, Status };

  virtual ~ControlView() = default;
  // Any thread: runs fn later on the window's thread, in the order posted, and never waits
  // for it. Calls posted after the window is gone are dropped.
  virtual void post(std::function<void()> fn) = 0;
  // Runs fn once, ms milliseconds from now, on the window's thread.
  virtual void after(int ms, std::function<void()> fn) = 0;

  // Shows a text in one of the four text components; the same text again draws nothing.
  virtual void showField(Field field, const std::string& text) = 0;
  // Locked: "CueIn", "CueOut", "Cue/Play" and "Review" disabled in dark gray, the cue and end
  // fields read-only; unlocked: enabled in light gray, editable. The keyboard focus never moves
  // into a text field by it: a focused button that is disabled hands the focus to the window.
  virtual void showCueLock(bool locked) = 0;
  // The highlight bar above a component changed (drawn from ControlPresenter::highlighted()).
  virtual void repaintBar(DeckButton button) = 0;
  // The deck stopped answering: the timecode display looks stale (dimmed) until false.
  virtual void showStale(bool stale) = 0;
  // Moves the shuttle bar to a value without counting it as the operator's move.
  virtual void showShuttle(int value) = 0;
  virtual void showLoggerButton(bool enabled) = 0;

  // The logger window: raises an open one (true), or answers false when none is open.
  virtual bool raiseLogger() = 0;
  // Creates and shows a logger window over the controller; its closing calls
  // ControlPresenter::loggerClosed().
  virtual void openLogger(LocalVCR& vcr) = 0;
  // Another converter window, one per press.
  virtual void openConverter() = 0;
  virtual void copyText(const std::string& text) = 0;
  // Closes the logger and every converter window.
  virtual void closeOtherWindows() = 0;
};
