#pragma once

#include <string>

// What the logger window's decisions need of a window toolkit; all calls on the window's thread.
class LoggerView {
 public:
  virtual ~LoggerView() = default;
  // Shows a text in row `row` (0..19), column `column` (0 number, 1 name, 2 in, 3 out), from its
  // start.
  virtual void showCell(int row, int column, const std::string& text) = 0;
  // What row 0's editable field `column` (1..3) holds now, typed but perhaps not yet stored.
  virtual std::string cellText(int column) const = 0;
  // Moves the scroll bar without counting it as the operator's move.
  virtual void showScroll(int first) = 0;
  // The open (save false) or save dialog: the chosen UTF-8 path, "" when cancelled.
  virtual std::string chooseFile(const std::string& title, bool save) = 0;
};
