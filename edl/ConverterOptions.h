#pragma once

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#include "app/ControllerApp.h"

// The converter's option flags and name-column settings. A window or the command line takes a
// copy when it starts; changes made afterwards stay local to that copy.
struct ConverterOptions {
  bool initialize = true;     // begin the list with INI
  bool finalize = true;       // end it with FNL
  bool onetitle = false;      // join events into one title (title mode PAUSE)
  bool autochapter = false;   // one recording with a chapter mark per event
  bool namechapters = false;  // add title/chapter name entries
  bool optimize = false;      // add a recording-rate line (with auto chapters)
  std::string optifilter = "F:2";
  int namefirst = 1;  // first column of a name, inclusive
  int namelast = 10;  // end column of a name, exclusive
  std::string namedelimiter = ".";
  bool verbose = false;
  TimecodeRate rate;  // the frame rate the source's times count in

  // The starting state as the program's settings hold it.
  static ConverterOptions fromSettings() {
    ConverterOptions o;
    o.initialize = ControllerApp::getinitialize();
    o.finalize = ControllerApp::getfinalize();
    o.onetitle = ControllerApp::getonetitle();
    o.autochapter = ControllerApp::getautochapter();
    o.namechapters = ControllerApp::getnamechapters();
    o.optimize = ControllerApp::getoptimize();
    o.optifilter = ControllerApp::getoptifilter();
    o.namefirst = ControllerApp::getnamefirst();
    o.namelast = ControllerApp::getnamelast();
    o.namedelimiter = ControllerApp::getnamedelimiter();
    o.verbose = ControllerApp::getverbose();
    o.rate = ControllerApp::getframerate();
    o.clampNameColumns();
    return o;
  }

  // Keeps the name columns usable: the first is at least 0, the range 1 to 31 columns wide.
  void clampNameColumns() {
    if (namefirst < 0) {
      namefirst = 0;
    }
    if (namelast - namefirst < 1) {
      namelast = namefirst + 1;
    }
    if (namelast - namefirst > 31) {
      namelast = namefirst + 31;
    }
  }

  // Sets the filter word from a decimal text: above 16 gives F:16, below 1 gives F:1, a value
  // inside the range is kept as written (05 gives F:05). Answers false on a text that is not
  // a decimal integer; the filter word is then unchanged.
  bool setFilter(std::string_view text) {
    const auto n = parseInt(text);
    if (!n) {
      return false;
    }
    if (*n > 16) {
      optifilter = "F:16";
    } else if (*n < 1) {
      optifilter = "F:1";
    } else {
      optifilter = "F:" + std::string(text);
    }
    return true;
  }

  // Decimal integer with an optional sign, nothing else; nullopt when it is not one or does
  // not fit an int.
  static std::optional<int> parseInt(std::string_view text) {
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
      negative = digits.front() == '-';
      digits.remove_prefix(1);
    }
    if (digits.empty() || digits.front() == '+' || digits.front() == '-') {
      return std::nullopt;
    }
    long long value = 0;
    const auto res = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (res.ec != std::errc() || res.ptr != digits.data() + digits.size()) {
      return std::nullopt;
    }
    if (negative) {
      value = -value;
    }
    if (value > 2147483647LL || value < -2147483648LL) {
      return std::nullopt;
    }
    return static_cast<int>(value);
  }
};
