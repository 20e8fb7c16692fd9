#pragma once

#include <string>

#include "edl/ConverterOptions.h"
#include "edl/ConverterView.h"

// What the converter window's decisions need of a window toolkit, beyond what the converter
// itself shows (source, list, title, lines, pauses); all calls on the window's thread.
class ConverterWindowView : public ConverterView {
 public:
  // The open (save false) or save dialog starting in `directory`: the chosen UTF-8 path, ""
  // when cancelled.
  virtual std::string chooseFile(const std::string& title, const std::string& directory,
                                 bool save) = 0;
  // Shows the options in the check boxes without counting it as the operator's change.
  virtual void showOptions(const ConverterOptions& options) = 0;
};
