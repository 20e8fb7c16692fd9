#pragma once

#include <string>

// Components of the control window that the status decoding can highlight.
enum class DeckButton {
  Play,
  Record,
  Forward,
  Rewind,
  Stop,
  StandbyOn,
  JogForward,
  JogReverse,
  Shuttle
};

// The deck controller's only way to its window. Called from the polling thread, cue threads and
// the operator worker; an implementation must never block on the window's thread (the control
// window posts every call to the GUI thread and returns at once).
class DeckView {
 public:
  virtual ~DeckView() = default;
  virtual void ShowTC(const std::string& tc) = 0;        // the timecode display
  virtual void ShowStatus(const std::string& text) = 0;  // the status line
  virtual void clearbuttons() = 0;                       // remove every highlight bar
  virtual void hilight(DeckButton button) = 0;           // red bar above the component
  // Cue lock: true disables "CueIn", "CueOut", "Cue/Play" and "Review" (dark gray) and makes the
  // cue and end fields read-only; false enables them again (light gray, editable).
  virtual void setCueLocked(bool locked) = 0;
  // The cue (in) and end (out) field texts changed in the controller's store; show them.
  virtual void ShowCueField(const std::string& text) = 0;
  virtual void ShowEndField(const std::string& text) = 0;
  // Puts the text on the system clipboard as plain text, replacing its content.
  virtual void copyToClipboard(const std::string& text) = 0;
  // Opens the logger window ("Logger Window" button) and disables that button until it closes.
  virtual void openLogger() = 0;
  // The deck stopped answering (true): the timecode display shows that it is stale and the
  // highlight bars clear. False with the first reply again.
  virtual void ShowStale(bool /*stale*/) {}
  // A transport frame other than a shuttle went out (a button, a key, a script word, a remote
  // command): the shuttle bar goes back to its centre, so its next move starts from pause.
  virtual void centreShuttle() {}
};
