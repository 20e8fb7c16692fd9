#pragma once

#include <iostream>
#include <string>

#include "app/Utils.h"

// Where the converter shows what it does: the source area text, the rendered list, the window
// title, lines for standard output, and its timed pauses. The defaults print to standard output
// and pause the calling thread; a window or a test overrides what it needs.
class ConverterView {
 public:
  virtual ~ConverterView() = default;
  virtual void showSource(const std::string& /*text*/) {}
  virtual void showList(const std::string& /*lxfile*/) {}
  virtual void showTitle(const std::string& /*title*/) {}
  virtual void print(const std::string& line) { std::cout << line << '\n' << std::flush; }
  virtual void pause(int ms) { Utils::DelayT(ms); }
};
