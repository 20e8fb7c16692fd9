#pragma once

#include <array>
#include <functional>
#include <string>

#include "edl/EditList.h"
#include "ui/core/LoggerView.h"

class LocalVCR;

// The clip logger window's decisions, apart from any toolkit: an edit list of 100 clips shown
// 20 rows at a time. Each row takes the deck's current timecode as the clip's in (">") or out
// ("<") time, or hands the clip to the control window's cue and end fields ("*"); row 0's name
// and times are edited in place and stored when the operator presses Enter or leaves the field,
// and before anything else acts on the list, so a field never shows what the list does not
// hold. Clips are reviewed on the deck one at a time or all in a row; the list is loaded from
// and saved to standard EDL files, and a list with unsaved changes is written to a recovery file
// when the window closes.
//
// The list is touched only on the window's thread. Reviews run on the controller's operator
// worker with copies of the times they need, so the window keeps responding while clips play.
class LoggerPresenter {
 public:
  static constexpr int NumRows = 20;
  static constexpr int kMaxReviewAll = 99;  // RevALL reviews at most this many clips

  // The entry shown in row 0 (the scroll position). Class-wide; a new window starts at 0.
  static int vsbval;

  LoggerPresenter(LoggerView& view, LocalVCR& vcr);
  ~LoggerPresenter();
  LoggerPresenter(const LoggerPresenter&) = delete;
  LoggerPresenter& operator=(const LoggerPresenter&) = delete;

  // Shows entries first .. first + 19 in rows 0 .. 19.
  void ReState(int first);

  // --- the operator's actions; an error becomes one line and the window goes on ---
  void scrolled(int first);
  void timePressed(int row, int column);  // ">" (column 2) or "<" (column 3) of a row
  void cuePressed(int row);               // "*"
  void fieldCommitted(int column, const std::string& text);  // row 0, Enter or focus out
  void ReviewClip();                                         // the entry shown in row 0
  void RevAll();  // from the first entry on, until a source out of "00:00:00:00"
  void load();
  void save();
  // The window closes: unsaved changes go to a recovery file. Answers its path, or "" when
  // nothing needed keeping. Runs once; later calls answer "".
  std::string closing();

  // Asks for a file; remembers the chosen file name for the title line.
  std::string GetFileName(const std::string& title, bool save);
  // The list holds changes that no save or load has covered.
  bool unsaved() const { return unsaved_; }
  EditList& list() { return list_; }
  const EditList& list() const { return list_; }

  // Where the window's own lines go (standard output by default). Called on the window's thread
  // and on the deck's worker, so it must be thread-safe. The list's lines go there too.
  void setLineSink(std::function<void(const std::string&)> sink);

 private:
  template <typename F>
  void guarded(const char* what, F&& action);
  // Stores what row 0's fields hold now when it differs from what the list shows there.
  void commitRow0();
  void store(int column, const std::string& text);

  LoggerView& view_;
  LocalVCR& vcr_;
  EditList list_;
  bool unsaved_ = false;
  bool closed_ = false;
  std::array<std::string, 4> row0_;  // what row 0 shows from the list
  std::function<void(const std::string&)> sink_;
};
