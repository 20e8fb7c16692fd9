#pragma once

#include <string>

#include "edl/ConverterOptions.h"
#include "edl/ConverterView.h"
#include "edl/RecorderFile.h"
#include "edl/RecorderList.h"
#include "edl/SourceEdl.h"

// One conversion session: a source EDL, the cursor stepping through it, the recorder list built
// from it, and the converter's commands. It owns no window; what an operator sees (source area,
// list, title, messages and pauses) goes to a ConverterView.
class EdlConverter {
 public:
  enum class LoadStatus { NoFile, Loaded, NotFound, ReadError };

  // view may be null (messages then go to standard output, pauses block the caller); a given
  // view must outlive the converter.
  explicit EdlConverter(ConverterOptions opts, ConverterView* view = nullptr);
  EdlConverter(const EdlConverter&) = delete;
  EdlConverter& operator=(const EdlConverter&) = delete;

  // Shows the current source text, list and title on the view, whatever it showed before.
  void refresh();

  // --- the window's commands ---
  // Reads the file and converts it in full ("load" after the dialog).
  LoadStatus load(const std::string& directory, const std::string& name);
  LoadStatus parseedl(const std::string& directory, const std::string& name);
  void autoedl();          // "auto"
  void next();             // "next": wraps to the start after the last line
  void parsenextline();    // one step of the cursor
  void backupsourceedl();  // "back"
  void stop();             // "stop" (ST)
  void pause();            // "pause" (PS)
  void chap();             // "chap" (CH)
  void wait();             // "wait" (New Tape)
  void del();              // "del" (Delete)
  RecorderFile::Result save(const std::string& directory, const std::string& name);

  // --- the option check boxes ---
  void setInitialize(bool on);    // re-renders
  void setFinalize(bool on);      // re-renders
  void setAllPs(bool on);         // converts again
  void setAutoChapter(bool on);   // converts again; on also ends "All PS"
  void setNameChapters(bool on);  // applies to events converted afterwards
  void setOptimize(bool on);      // re-renders

  const ConverterOptions& options() const { return list_.options(); }
  const SourceEdl& source() const { return source_; }
  const RecorderList& list() const { return list_; }
  const std::string& rawfile() const { return rawfile_; }
  const std::string& sourceText() const { return sourceText_; }
  const std::string& windowTitle() const { return windowTitle_; }
  const std::string& lxfile() const { return list_.lxfile(); }
  const std::string& lxout() const { return list_.lxout(); }
  // The file text as written: lxout in the source's encoding, so names go back as they came.
  std::string fileText() const;
  int rawline() const { return rawline_; }
  int rawlinecount() const { return source_.rawlinecount(); }

  static constexpr const char* fullNoticeText = "LX-1 EDL IS FULL";

 private:
  // Pushes what changed to the view when the outermost command ends (and before each pause),
  // so a whole conversion updates the window once.
  class Batch {
   public:
    explicit Batch(EdlConverter& c) : c_(c) { ++c_.depth_; }
    ~Batch() {
      if (--c_.depth_ == 0) {
        c_.flush();
      }
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    EdlConverter& c_;
  };

  void flush();
  void delay(int ms);
  void setSource(std::string text);
  void showrawedl();
  void getsourcetime(const std::string& line);
  void fullNotice();
  void fullCheck();

  ConverterView defaultView_;
  ConverterView* view_;
  SourceEdl source_;
  RecorderList list_;
  int rawline_ = 0;
  bool refused_ = false;  // the last step's event did not fit into the list
  std::string rawfile_;
  std::string sourceText_;
  std::string windowTitle_;
  std::string shownSource_;
  std::string shownList_;
  unsigned shownRenders_ = 0;
  std::string shownTitle_;
  bool sourceDirty_ = false;
  int depth_ = 0;
};
