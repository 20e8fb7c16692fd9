#pragma once

// Public face of the deck controller, fixed so the windows can be written against it. The deck
// layer owns the implementation and may add private members; callers use only what is below.

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "deck/DeckView.h"
#include "serial/CommandLink.h"

class LocalVCR {
 public:
  // Copies the deck kind from the settings; sets the initial state. Sends nothing yet.
  LocalVCR(CommandLink& sop, bool LANC, DeckView& view);
  ~LocalVCR();  // close() if not done; joins every thread it started
  LocalVCR(const LocalVCR&) = delete;
  LocalVCR& operator=(const LocalVCR&) = delete;

  // The rest of construction: prints "Ready", shows " Ready", sends the time-mode frame, waits
  // 1000 ms and starts polling (GetTC). Call once, after the window is shown.
  void start();
  // The close sequence of the control window: stop polling, stop the operator worker and every
  // wait of a cue thread or script, then Stop twice 500 ms apart when StopOnExit is on. No frame
  // is sent after it returns. The caller then ends the process with status 0.
  void close();

  // Runs an operator action on the one operator worker thread, in the order posted. An error
  // that escapes the action is caught there: one line on standard output, and the worker goes on.
  void post(std::function<void()> action);

  // --- frames ---
  void CommandB0(std::span<const std::uint8_t> frame);

  // --- transport ---
  void play();
  void pause();
  void stop();
  void forward();
  void rewind();
  void slowfifth();
  void slowthird();
  void slowhalf();
  void fasttwo();
  void fastfive();
  void jogf();
  void jogr();
  void eeon();
  void eeoff();
  void sbyon();
  void sbyoff();
  void record();
  void shutfwd(int speed);
  void shutrev(int speed);
  void SettleDown();

  // --- polling ---
  void GetTC();
  void CommandB8();
  void CommandStatus();

  // --- cue and review (they read the cue and end field texts of the store below) ---
  void MakeCueString();
  void MakeCueOutString();
  void cue();
  void cueout();
  void cueplay();
  void reviewclip();
  void CueUp();
  void setcue();     // cue field := displayed timecode, then MakeCueString
  void setreview();  // end field := displayed timecode

  // --- scripts and the command language ---
  void script();
  bool ParseNetCommand(const std::string& line);
  void setscriptactive(bool on);
  bool getscriptactive() const;

  // --- window ---
  void CommandBLogger();
  void ShowStat(const std::string& text);

  // --- the three timecode field texts (thread-safe) ---
  std::string tcText() const;   // what the timecode display shows
  std::string cueText() const;  // cue (in) field
  std::string endText() const;  // end (out) field
  // Writes from the window's own fields (operator edits): store only, the view already shows it.
  void editCueText(const std::string& text);
  void editEndText(const std::string& text);
  // Writes from elsewhere (logger, command language): store, then the view's field.
  void setCueText(const std::string& text);
  void setEndText(const std::string& text);

  // --- state read by windows and tests ---
  int gettcframes() const;
  bool getcueup() const;
  int getmoving() const;
  std::string getStatusString() const;

 private:
  // Private state: the deck layer fills this in.
};
