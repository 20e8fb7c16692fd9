#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "edl/EditList.h"
#include "ui/core/LoggerPresenter.h"
#include "ui/core/LoggerView.h"

class LocalVCR;
class QCloseEvent;
class QLineEdit;
class QPushButton;
class QScrollBar;

// The clip logger window drawn with Qt, over LoggerPresenter, which holds the edit list and
// decides what each row, button and field does (see there). This class creates the widgets,
// forwards their events and shows what the presenter hands it.
//
// Components carry object names for tests: "LoadButton", "ReviewButton", "RevAllButton",
// "SaveButton", "vsb", row fields "TF<r>_<c>" (c 0 number, 1 name, 2 in, 3 out) and row buttons
// "SIB<r>" (">"), "SOB<r>" ("<") and "CUE<r>" ("*"); row buttons carry their row as the
// property kActionCommand.
class LoggerGUI : public QWidget, private LoggerView {
  Q_OBJECT

 public:
  static constexpr int NumRows = LoggerPresenter::NumRows;
  static constexpr int GUIwidth = 470;
  static constexpr int GUIheight = 525;
  static constexpr int kMaxReviewAll = LoggerPresenter::kMaxReviewAll;
  static constexpr const char* kActionCommand = "actionCommand";

  static QColor backgroundcol() { return {80, 150, 245}; }

  // The entry shown in row 0 (the scroll position). Class-wide; a new window starts at 0.
  static inline int& vsbval = LoggerPresenter::vsbval;

  // The file dialog: (parent, title, 0 load / 1 save) -> the chosen path, or "" when cancelled.
  // Tests replace it.
  using Chooser = std::function<QString(QWidget* parent, const QString& title, int loadOrSave)>;
  static Chooser chooser;
  static QString defaultChooser(QWidget* parent, const QString& title, int loadOrSave);

  // Builds and fills the window with a fresh list; the caller shows it.
  explicit LoggerGUI(LocalVCR& vcr, QWidget* parent = nullptr);
  ~LoggerGUI() override;

  // Shows entries first .. first + 19 in rows 0 .. 19.
  void ReState(int first) { presenter_.ReState(first); }
  // Reviews the entry shown in row 0 on the deck.
  void ReviewClip() { presenter_.ReviewClip(); }
  // Reviews the entries from the first one on, in order, until a source out of "00:00:00:00".
  void RevAll() { presenter_.RevAll(); }

  EditList& list() { return presenter_.list(); }
  const EditList& list() const { return presenter_.list(); }
  LoggerPresenter& presenter() { return presenter_; }

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

 protected:
  // A list with unsaved changes is kept in a recovery file as the window closes.
  void closeEvent(QCloseEvent* event) override;

 private:
  // LoggerView
  void showCell(int row, int column, const std::string& text) override;
  std::string cellText(int column) const override;
  void showScroll(int first) override;
  std::string chooseFile(const std::string& title, bool save) override;

  void buildTopLine(int L, int T);
  void buildRows(int L, int T);
  void fitTexts();

  LoggerPresenter presenter_;
  std::array<std::array<QLineEdit*, 4>, NumRows> TFArray_{};
  std::array<std::array<QPushButton*, 2>, NumRows> ButArray_{};
  std::array<QPushButton*, NumRows> CueArray_{};
  QScrollBar* vsb_ = nullptr;
};
