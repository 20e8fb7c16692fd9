#pragma once

#include <array>
#include <string>

#include "edl/ConverterOptions.h"

// The DVD recorder's list: up to 199 entries (REC, CHP, T-N, C-N, WAI), the title mode that
// ends each new REC, the editing operations of the converter window, and the rendering into
// the window text (LF) and the file text (CR LF) with the list's numbering.
class RecorderList {
 public:
  static constexpr int lxmax = 199;
  static constexpr const char* header = "PIONEER-DVDRec-EDL 002";

  explicit RecorderList(ConverterOptions opts = {});

  ConverterOptions& options() { return opts_; }
  const ConverterOptions& options() const { return opts_; }

  // Empties every slot and clears the full mark; the title mode stays.
  void newlxedl();

  // Converts one recognised event (source in, source out, the line it came from) into one to
  // three entries. An event that needs more slots than remain is refused whole: answers false
  // and changes nothing.
  bool addEvent(const std::string& in, const std::string& out, const std::string& line);

  // Slots an event would take now.
  int slotsForEvent() const;

  // Delete: drops the last entry and takes the title mode from the new last REC entry.
  void removeoutputline();
  // ST: title mode STOP; the last REC (or the REC before a last chapter name) ends with STOP.
  void changepausetostop();
  // PS: title mode PAUSE; the last REC ends with PAUSE, a last title name becomes a chapter name.
  void changestoptopause();
  // CH: turns the last event into a chapter mark. Answers false when its chapter name would
  // not fit into the list (nothing is changed then).
  bool setchapter();
  // New Tape: adds one WAI after an entry of 7 or more characters, never two in a row.
  void addwait();

  // The rate line for the length of the program: "SET R:" + index + " " + filter.
  std::string optimize() const;

  // Applies the auto-chapter rewrite to the first entry and renders lxfile and lxout.
  void showlxedl();

  const std::string& lxfile() const { return lxfile_; }
  const std::string& lxout() const { return lxout_; }
  // How many times the list has been rendered; a window shows every rendering, even one that
  // gives the same text, so that what it shows is what a save writes.
  unsigned renders() const { return renders_; }

  int lxline() const { return lxline_; }
  bool full() const { return lxedlfull_; }
  void markFull() { lxedlfull_ = true; }
  const std::string& entry(int i) const { return lxedl_.at(i); }
  const std::string& titlemodestring() const { return titlemode_; }
  void setTitleMode(const std::string& mode) { titlemode_ = mode; }
  // Source out of the most recently converted event; the auto-chapter rewrite ends there.
  const std::string& timestring2() const { return timestring2_; }

 private:
  void put(const std::string& text) { lxedl_[lxline_] = text; }
  std::string& last() { return lxedl_[lxline_ - 1]; }
  static bool startsWith(const std::string& s, const char* tag) { return s.rfind(tag, 0) == 0; }
  static std::string recWithMode(const std::string& rec, const char* mode);

  ConverterOptions opts_;
  std::array<std::string, lxmax> lxedl_;
  int lxline_ = 0;
  bool lxedlfull_ = false;
  std::string titlemode_ = "STOP";
  std::string timestring2_;
  std::string lxfile_;
  std::string lxout_;
  unsigned renders_ = 0;
};
