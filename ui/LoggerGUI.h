#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "edl/EditList.h"

class LocalVCR;
class QLineEdit;
class QPushButton;
class QScrollBar;

// The clip logger window: an edit list of 100 clips shown 20 rows at a time. Each row takes the
// deck's current timecode as the clip's in (">") or out ("<") time, or hands the clip to the
// control window's cue and end fields ("*"); row 0's name and times are edited in place. Clips
// are reviewed on the deck one at a time or all in a row, and the list is loaded from and saved
// to standard EDL files.
//
// The list and the rows are touched only on the GUI thread. Reviews run on the deck
// controller's operator worker with copies of the times they need, so the window keeps
// responding while clips play and may even close meanwhile.
//
// Components carry object names for tests: "LoadButton", "ReviewButton", "RevAllButton",
// "SaveButton", "vsb", row fields "TF<r>_<c>" (c 0 number, 1 name, 2 in, 3 out) and row buttons
// "SIB<r>" (">"), "SOB<r>" ("<") and "CUE<r>" ("*"); row buttons carry their row as the
// property kActionCommand.
class LoggerGUI : public QWidget {
  Q_OBJECT

 public:
  static constexpr int NumRows = 20;
  static constexpr int GUIwidth = 470;
  static constexpr int GUIheight = 525;
  static constexpr int kMaxReviewAll = 99;  // RevALL reviews at most this many clips
  static constexpr const char* kActionCommand = "actionCommand";

  static QColor backgroundcol() { return {80, 150, 245}; }

  // The entry shown in row 0 (the scroll position). Class-wide; a new window starts at 0.
  static int vsbval;

  // The file dialog: (parent, title, 0 load / 1 save) -> the chosen path, or "" when cancelled.
  // Tests replace it.
  using Chooser = std::function<QString(QWidget* parent, const QString& title, int loadOrSave)>;
  static Chooser chooser;
  static QString defaultChooser(QWidget* parent, const QString& title, int loadOrSave);

  // Builds and fills the window with a fresh list; the caller shows it.
  explicit LoggerGUI(LocalVCR& vcr, QWidget* parent = nullptr);
  ~LoggerGUI() override;

  // Shows entries first .. first + 19 in rows 0 .. 19.
  void ReState(int first);
  // Reviews the entry shown in row 0 on the deck.
  void ReviewClip();
  // Reviews the entries from the first one on, in order, until a source out of "00:00:00:00".
  void RevAll();
  // Asks for a file with the chooser; remembers the chosen file name for the title line.
  std::string GetFileName(const QString& title);

  EditList& list() { return list_; }
  const EditList& list() const { return list_; }

  // Where the window's own lines go (standard output by default). Called on the GUI thread and
  // on the deck's worker, so it must be thread-safe.
  // The list's load and save lines go there too.
  void setLineSink(std::function<void(const std::string&)> sink);

  // Geometry computed from the window size.
  const int dy;
  const int vspace;
  const int fontheight;
  const int clipnamewidth;
  const int timecodewidth;
  const int loadsavewidth;
  const int buttonwidth;
  const int editnumwidth;

 private:
  void buildTopLine(int L, int T);
  void buildRows(int L, int T);
  void onLoad();
  void onSave();
  void onScroll(int value);
  void onTimeButton(QPushButton* button, int column);
  void onCueButton(QPushButton* button);
  void onEnter(int column);
  // Runs a handler; an error it throws becomes one line and the window goes on.
  template <typename F>
  void guarded(const char* what, F&& handler);

  LocalVCR& vcr_;
  EditList list_;
  int LoadOrSave_ = 1;
  std::array<std::array<QLineEdit*, 4>, NumRows> TFArray_{};
  std::array<std::array<QPushButton*, 2>, NumRows> ButArray_{};
  std::array<QPushButton*, NumRows> CueArray_{};
  QScrollBar* vsb_ = nullptr;
  std::function<void(const std::string&)> sink_;
};
