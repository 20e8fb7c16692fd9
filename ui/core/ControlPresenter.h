#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "deck/DeckView.h"
#include "ui/core/ControlLayout.h"
#include "ui/core/ControlView.h"
#include "ui/core/EditorKey.h"

class LocalVCR;

// The control window's decisions, apart from any toolkit: which deck operation a button, key or
// shuttle move runs and how it reaches the operator worker (in order, as a run, or taking the
// deck over), the highlight bars, the cue lock, the stale display, the shuttle bar's centre,
// the logger button and the closing sequence. The view draws and forwards events here.
//
// As the controller's DeckView it may be called from any thread; each call is posted to the
// window's thread and never waits for it. Everything else is called on the window's thread.
class ControlPresenter : public DeckView {
 public:
  static constexpr int shuttleCentre = 48;
  static constexpr int kSettleMs = 40;

  ControlPresenter(ControlView& view, bool lx1, bool zarix, bool lanc);
  ~ControlPresenter() override = default;
  ControlPresenter(const ControlPresenter&) = delete;
  ControlPresenter& operator=(const ControlPresenter&) = delete;

  // The controller the buttons drive. Set once, before the window is shown to the operator.
  void attach(LocalVCR& vcr) { vcr_ = &vcr; }
  LocalVCR* controller() const { return vcr_; }

  // --- events from the window (window thread) ---
  // A button with its action command: the status line shows the command at once, then the deck
  // operation goes to the worker. "Tavlist" opens a converter window first.
  void pressed(const std::string& command);
  void loggerPressed();
  void loggerClosed();
  // A key press; false when it is not the window's. In an editable text field only Escape is.
  // A held key repeats; only its first press acts (it is still the window's).
  bool key(EditorKey key, bool inTextField, bool autoRepeat);
  // The operator moved the shuttle bar.
  void shuttleMoved(int value);
  // Enter in the cue field, and the operator's edits of the two fields.
  void cueEntered(const std::string& text);
  void cueEdited(const std::string& text);
  void endEdited(const std::string& text);
  // The window is closing: the controller stops (polling, worker, the StopOnExit frames), then
  // the other windows close. Answers false when it was already closing.
  bool close();

  // --- state the view draws (window thread) ---
  const std::set<DeckButton>& highlighted() const { return highlighted_; }
  // Whether this deck kind's window has the component (the LX1: no standby, no shuttle bar).
  bool hasComponent(DeckButton button) const;
  int shuttleValue() const { return shuttle_; }
  bool stale() const { return stale_; }
  bool cueLocked() const { return cueLocked_; }

  // The speed rule of the shuttle bar: positive = forward speed, negative = reverse speed,
  // 0 = pause. 54..95 -> 2(v-48) forward, 0..42 -> 2(48-v) reverse, 43..53 -> pause.
  static int shuttleSpeed(int value);
  // Transport controls (rows 2 to 4, the jog buttons, the shuttle bar and its keys) take the
  // deck over from a running script, review or sequence.
  static bool isTransport(const std::string& command);

  // --- DeckView (any thread) ---
  void ShowTC(const std::string& tc) override;
  void ShowStatus(const std::string& text) override;
  void clearbuttons() override;
  void hilight(DeckButton button) override;
  void setCueLocked(bool locked) override;
  void ShowCueField(const std::string& text) override;
  void ShowEndField(const std::string& text) override;
  void copyToClipboard(const std::string& text) override;
  void openLogger() override;
  void ShowStale(bool stale) override;
  void centreShuttle() override;

 private:
  enum class Post { Plain, Run, Takeover, TakeoverRun };
  std::function<void()> actionFor(const std::string& command) const;
  void dispatch(const std::string& command);
  void postToWorker(std::function<void()> action, Post how);
  void settleHighlights();
  void report(const char* where, const char* what) const;

  ControlView& view_;
  const bool lx1_;
  const bool zarix_;
  const bool lanc_;
  LocalVCR* vcr_ = nullptr;
  bool closing_ = false;
  bool stale_ = false;
  bool cueLocked_ = false;
  int shuttle_ = shuttleCentre;

  // Bars stay until the next clearbuttons, so a repaint keeps them.
  std::set<DeckButton> highlighted_;
  // Highlights that arrive after a clearbuttons, shown together by settleHighlights.
  std::set<DeckButton> nextHighlights_;
  bool gathering_ = false;
  int settleRound_ = 0;
  // The timecode last handed to the window's thread; written by the polling thread.
  std::mutex shownTcMutex_;
  std::string shownTc_;

  // Shuttle moves that arrive while the previous one still waits in the worker's queue replace
  // its value instead of queueing one frame per step of a drag. -1 = taken by the worker.
  std::shared_ptr<std::atomic<int>> shuttleSlot_;
  bool lastPostWasShuttle_ = false;
  // J / L presses in a row: direction (+1 forward, -1 reverse) and count.
  int shuttleKeyDir_ = 0;
  int shuttleKeyPresses_ = 0;
};
