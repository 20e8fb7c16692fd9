// The hand-written EDLs of tests/fixtures/edl, one per family of layouts that real lists show
// (CMX columns, LF / CR LF / CR-only line ends, comments, clip-name comments, blank lines, short
// and long reel names, audio-only events, dissolves and wipes, drop-frame timecode, two blanks
// between the times, more events than the logger holds): each loads into the logger, converts
// into the DVD recorder's list, and survives a save and reload by the logger.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/ControllerApp.h"
#include "edl/EditList.h"
#include "edl/EdlConverter.h"
#include "support/TempFolder.h"

namespace {

const std::string kFixtures = ORVA_FIXTURES_DIR "/edl";

struct Event {
  int index;
  const char* name;
  const char* in;
  const char* out;
};

struct Fixture {
  const char* file;
  int events;                 // event lines in the file
  std::vector<Event> checks;  // entries the logger must hold after loading it
};

const std::vector<Fixture> kTable = {
    {"cmx-lf.edl",
     9,
     {{0, "AX", "00:00:10:00", "00:00:20:00"},
      {1, "A001C003", "00:01:00:00", "00:01:04:12"},
      {3, "R2", "00:02:03:00", "00:02:06:00"},  // audio only
      {5, "BX", "00:05:00:00", "00:05:05:00"},  // dissolve, 30 frames
      {7, "AX", "00:00:40:00", "00:00:45:00"},  // wipe, 15 frames
      {8, "A", "00:03:00:00", "00:03:02:15"}}},
    {"crlf-drop-frame.edl",
     4,
     {{0, "TAPE01", "00:59:58;02", "01:00:02;10"},
      {1, "TAPE01", "01:00:10;00", "01:00:15;00"},  // two blanks between the times
      {2, "CAMERA_B_ROLL_0042", "00:10:00;04", "00:10:04;16"},
      {3, "TAPE02", "00:20:00;00", "00:20:01;29"}}},
    {"cr-only.edl",
     3,
     {{0, "K1", "00:00:01:00", "00:00:02:00"},
      {1, "K2", "00:00:03:00", "00:00:05:10"},
      {2, "K1", "00:00:06:00", "00:00:07:00"}}},
    {"over-99-events.edl",
     120,
     {{0, "R001", "00:01:00:01", "00:01:01:17"},
      {98, "R099", "01:39:03:09", "01:39:08:03"},
      {99, "R100", "01:40:03:10", "01:40:08:05"}}},  // the list is full after 100
};

class SilentView : public ConverterView {
 public:
  void print(const std::string&) override {}
  void pause(int) override {}
};

int loggerEntries(const Fixture& f) {
  return f.events < EditList::kEntries ? f.events : EditList::kEntries;
}

TEST(EdlFixtures, LoggerLoadsEveryEventWithItsNameAndTimes) {
  ControllerApp::resetDefaults();
  for (const Fixture& f : kTable) {
    SCOPED_TRACE(f.file);
    EditList list;
    std::ostringstream log;
    list.setOutput(log);
    EXPECT_EQ(list.LoadEDL(kFixtures + "/" + f.file), loggerEntries(f));
    EXPECT_EQ(log.str(), " \n \n");  // no failure lines
    for (const Event& e : f.checks) {
      EXPECT_EQ(list.ClipNameArray[e.index], e.name) << e.index;
      EXPECT_EQ(list.SrcInArray[e.index], e.in) << e.index;
      EXPECT_EQ(list.SrcOutArray[e.index], e.out) << e.index;
    }
  }
}

TEST(EdlFixtures, ConverterMakesOneRecordingPerEventLine) {
  ControllerApp::resetDefaults();
  SilentView view;
  for (const Fixture& f : kTable) {
    SCOPED_TRACE(f.file);
    ConverterOptions o;
    o.initialize = false;
    o.finalize = false;
    EdlConverter c(o, &view);
    ASSERT_EQ(c.load(kFixtures, f.file), EdlConverter::LoadStatus::Loaded);
    std::vector<std::string> recs;
    for (int i = 0; i < c.list().lxline(); ++i) {
      if (c.list().entry(i).rfind("REC ", 0) == 0) {
        recs.push_back(c.list().entry(i));
      }
    }
    ASSERT_EQ(static_cast<int>(recs.size()), f.events);
    // The logger's first event is the converter's first recording.
    const Event& first = f.checks.front();
    EXPECT_EQ(recs.front().substr(4, 23), std::string(first.in) + " " + first.out);
  }
}

TEST(EdlFixtures, LoggerSavesAndReloadsWhatItLoaded) {
  ControllerApp::resetDefaults();
  TempFolder dir("orva-fixtures");
  ASSERT_FALSE(dir.path().empty());
  for (const Fixture& f : kTable) {
    SCOPED_TRACE(f.file);
    EditList first;
    std::ostringstream log;
    first.setOutput(log);
    const int n = first.LoadEDL(kFixtures + "/" + f.file);
    ASSERT_TRUE(first.SaveEDL(dir.file("saved.edl"))) << log.str();
    EditList again;
    again.setOutput(log);
    ASSERT_EQ(again.LoadEDL(dir.file("saved.edl")), n);
    for (int i = 0; i < n; ++i) {
      // A name longer than the reel column comes back whole from its clip-name comment.
      EXPECT_EQ(again.ClipNameArray[i], first.ClipNameArray[i]) << i;
      EXPECT_EQ(again.SrcInArray[i], first.SrcInArray[i]) << i;
      EXPECT_EQ(again.SrcOutArray[i], first.SrcOutArray[i]) << i;
    }
  }
}

}  // namespace
