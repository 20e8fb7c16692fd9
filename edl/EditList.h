#pragma once

#include <array>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "app/TextCodec.h"
#include "app/TimecodeRate.h"

// The logger's edit list: 100 entries of event number, clip name, source in and source out, kept
// as text, and their exchange with standard EDL files. No toolkit: the logger window owns one
// and forwards its buttons here. All calls on one object come from one thread.
class EditList {
 public:
  static constexpr int kEntries = 100;
  // The unset time; a source out equal to it ends the list for saving and for reviewing all.
  static constexpr std::string_view TCString = "00:00:00:00";
  // The comment line that carries a clip name the reel column cannot hold whole.
  static constexpr std::string_view kClipNameComment = "* FROM CLIP NAME: ";

  EditList();

  // Event number of entry index i as written and shown: "001" .. "099", "100".
  static std::string eventNumber(int i);
  // Initial clip name of entry index i: "Name01" .. "Name99", "Name00" for the 100th.
  static std::string initialName(int i);

  // Sets startframes, endframes and duration from entry i's source times. Throws (leaving all
  // three unchanged) when either time is not a well-formed hh:mm:ss:ff text.
  void getduration(int i);

  // Writes the list as a standard EDL. Durations and record times count at `rate`; at
  // drop-frame the frame-count-mode line says so and record times are drop-frame labels. A clip
  // name that the six-character reel column cannot hold whole (longer, or with a blank in it)
  // is also written whole on a kClipNameComment line after its event. The list must be well formed
  // up to its end: a malformed time stops the save with one line naming the entry and the text. The
  // file is replaced only when everything was written (temporary file, then rename), so a failed
  // save leaves whatever was on disk before. Returns true when the file was written.
  bool SaveEDL(const std::string& path);

  // Fills the list from an EDL file, entry 0 onward; entries past the last event keep their
  // contents. Never throws on file content. Returns the number of entries filled. Comment
  // lines ("*" first) never become entries; a kClipNameComment line after an event gives that
  // entry its whole name when the reel column held the start of it.
  int LoadEDL(const std::string& path);

  // Takes the two source times of an event line into timestring1/timestring2, starting at the
  // first colon found at or after position `from` (the loader passes the end of the clip name,
  // so a colon inside a name is not taken for a time). A line that does not look like it carries
  // times (shorter than 20, that colon before position 20, no digit before it) leaves both as
  // they were and answers true, so its entry repeats the previous times. A line whose text after
  // the colon is too short for the two times also leaves them as they were but answers false:
  // the caller skips that line.
  bool getsourcetime(std::string_view line, std::size_t from = 0);

  // Where progress and failure lines go, one call per line (standard output by default).
  void setLineSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }
  // The same into a stream, each line ended by a newline.
  void setOutput(std::ostream& out);

  std::array<std::string, kEntries> EdNumArray;
  std::array<std::string, kEntries> ClipNameArray;
  std::array<std::string, kEntries> SrcInArray;
  std::array<std::string, kEntries> SrcOutArray;

  // The encoding of the last EDL loaded (UTF-8 until one is): a save writes it back in it, so
  // a Latin-1 file stays Latin-1. Names are kept in UTF-8 either way.
  TextCodec::Encoding encoding = TextCodec::Encoding::Utf8;
  // Whether the last EDL loaded began with a byte-order mark; a save writes it back with one.
  bool bom = false;
  // The frame rate of durations and record times (the FrameRate setting by default).
  TimecodeRate rate;

  int startframes = 0;
  int endframes = 0;
  int duration = 0;
  std::string FCMString = ":";  // separator before the frames of record times (';' at drop-frame)
  std::string savename;         // file name (no directory) written into the title line
  // Parser scratch texts; timestring1/2 carry over from one event line and one load to the next.
  std::string timestring;
  std::string timestring1;
  std::string timestring2;

 private:
  std::string eventLine(int i, const std::string& recordIn, const std::string& recordOut) const;
  void println(std::string_view text);
  // Gives entry its whole name from a kClipNameComment line (see LoadEDL).
  void takeClipName(std::string_view comment, int entry);
  // The fallback when no temporary file can be made beside the target.
  bool writeInPlace(const std::string& path, const std::string& target, const std::string& content);

  std::function<void(const std::string&)> sink_;
};
