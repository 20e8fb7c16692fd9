// The recorder list: event conversion in every title mode, the editing commands, the rate line
// and the rendering with its numbering, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "edl/RecorderList.h"

namespace {

// A standard event line: event 001, reel AX, video, cut, source in/out, record in/out.
std::string eventLine(const std::string& in, const std::string& out,
                      const std::string& reel = "AX") {
  std::string reelField = reel;
  reelField.resize(8, ' ');
  return "001  " + reelField + " V     C        " + in + " " + out + " 01:00:00:00 01:00:10:00";
}

ConverterOptions noOptions() {
  ConverterOptions o;
  o.initialize = false;
  o.finalize = false;
  return o;
}

void add(RecorderList& list, const std::string& in, const std::string& out,
         const std::string& reel = "AX") {
  ASSERT_TRUE(list.addEvent(in, out, eventLine(in, out, reel)));
}

TEST(RecorderListRender, EmptyListWithIniAndFnl) {
  ConverterOptions o;
  RecorderList list(o);
  EXPECT_EQ(list.lxout(), "PIONEER-DVDRec-EDL 002\r\n001 INI\r\n002 FNL\r\n");
}

TEST(RecorderListRender, TwoTitlesWithNamesIniAndFnl) {
  ConverterOptions o;
  o.namechapters = true;
  RecorderList list(o);
  add(list, "00:00:10:00", "00:00:20:00", "AX");
  add(list, "00:01:00:00", "00:01:30:15", "BX");
  EXPECT_EQ(list.lxout(),
            "PIONEER-DVDRec-EDL 002\r\n"
            "001 INI\r\n"
            "002 REC 00:00:10:00 00:00:20:00 STOP\r\n"
            "002 T-N 01.AX\r\n"
            "003 REC 00:01:00:00 00:01:30:15 STOP\r\n"
            "003 T-N 01.BX\r\n"
            "004 FNL\r\n");
  EXPECT_EQ(list.lxline(), 4);
}

TEST(RecorderListRender, NumbersCountRecordEventsUpTo100AndBeyond) {
  RecorderList list(noOptions());
  for (int i = 0; i < 101; ++i) {
    add(list, "00:00:10:00", "00:00:20:00");
  }
  const std::string& out = list.lxout();
  EXPECT_NE(out.find("\r\n099 REC"), std::string::npos);
  EXPECT_NE(out.find("\r\n100 REC 00:00:10:00 00:00:20:00 STOP\r\n"), std::string::npos);
  EXPECT_NE(out.find("\r\n101 REC"), std::string::npos);
}

TEST(RecorderListRender, ChapterMarkWithoutRecordIsNumberedZero) {
  RecorderList list(noOptions());
  add(list, "00:00:10:00", "00:00:20:00");
  ASSERT_TRUE(list.setchapter());
  EXPECT_EQ(list.lxout(), "PIONEER-DVDRec-EDL 002\r\n000 CHP 00:00:10:00\r\n");
}

TEST(RecorderListConvert, AutoChaptersWithNamesFirstEventGetsThreeEntries) {
  ConverterOptions o = noOptions();
  o.autochapter = true;
  o.namechapters = true;
  RecorderList list(o);
  add(list, "00:00:10:00", "00:00:20:00", "AX");
  add(list, "00:01:00:00", "00:01:10:00", "BX");
  ASSERT_EQ(list.lxline(), 5);
  EXPECT_EQ(list.entry(1), "T-N 01.AX");
  EXPECT_EQ(list.entry(2), "C-N 01.AX");
  EXPECT_EQ(list.entry(3), "CHP 00:01:00:00");
  EXPECT_EQ(list.entry(4), "C-N 01.BX");
}

TEST(RecorderListRate, ChoosesTheHighestIndexThatHoldsTheProgram) {
  ConverterOptions o = noOptions();
  o.autochapter = true;
  o.optimize = true;
  o.optifilter = "F:3";
  using K = TimecodeRate::Kind;
  struct Case {
    const char* out;
    const char* rate;
    K fps = K::Fps30;
  };
  const Case cases[] = {
      {"01:40:00:00", "SET R:22 F:3"},  // exactly 100 minutes
      {"00:58:00:00", "SET R:31 F:3"},  // exactly 58 minutes
      {"00:58:00:01", "SET R:30 F:3"},
      {"00:00:00:01", "SET R:31 F:3"},
      {"05:50:00:00", "SET R:1 F:3"},  // 350 minutes
      {"05:50:00:01", "SET R:0 F:3"},
      {"05:35:00:01", "SET R:1 F:3"},
      {"11:40:00:00", "SET R:0 F:3"},  // 700 minutes, the longest accepted
      {"11:40:00:01", "SET R:16 F:1"},
      {"00:00:00:00", "SET R:16 F:1"},  // no length
      // Minutes in the rate's own frames.
      {"01:40:00:00", "SET R:22 F:3", K::Fps25},
      {"00:58:00:01", "SET R:30 F:3", K::Fps25},
      {"11:40:00:01", "SET R:16 F:1", K::Fps24},
      {"01:40:00;00", "SET R:22 F:3", K::Fps2997Df},
      {"01:40:00;01", "SET R:21 F:3", K::Fps2997Df},
      {"11:40:00;00", "SET R:0 F:3", K::Fps2997Df},
      {"11:40:00;01", "SET R:16 F:1", K::Fps2997Df},
  };
  for (const auto& c : cases) {
    o.rate = TimecodeRate(c.fps);
    RecorderList list(o);
    add(list, "00:00:00:00", c.out);
    EXPECT_EQ(list.optimize(), c.rate) << c.out << " at " << o.rate.name();
  }
}

TEST(RecorderListRate, RateLineFollowsIniAndTakesTheNextNumber) {
  ConverterOptions o;
  o.autochapter = true;
  o.optimize = true;
  RecorderList list(o);
  add(list, "00:00:00:00", "01:40:00:00");
  EXPECT_EQ(list.lxout(),
            "PIONEER-DVDRec-EDL 002\r\n001 INI\r\n002 SET R:22 F:2\r\n"
            "003 REC 00:00:00:00 01:40:00:00 STOP\r\n004 FNL\r\n");
  list.options().initialize = false;
  list.showlxedl();
  EXPECT_NE(list.lxout().find("\r\n001 SET R:22"), std::string::npos);
}

TEST(RecorderListRate, NonDigitTimecodeFallsBackToTheDefaultLine) {
  ConverterOptions o = noOptions();
  o.autochapter = true;
  o.optimize = true;
  RecorderList list(o);
  ASSERT_TRUE(list.addEvent("0x:00:10:00", "00:20:00:00", eventLine("0x:00:10:00", "x")));
  EXPECT_EQ(list.optimize(), "SET R:16 F:1");
  RecorderList list2(o);
  ASSERT_TRUE(list2.addEvent("00:00:10:00", "00:2 :00:00", eventLine("a", "b")));
  EXPECT_EQ(list2.optimize(), "SET R:16 F:1");
}

TEST(RecorderListEdit, DeleteRemovesTheNameThenTheRecord) {
  ConverterOptions o = noOptions();
  o.namechapters = true;
  RecorderList list(o);
  add(list, "00:00:10:00", "00:00:20:00");
  add(list, "00:00:30:00", "00:00:40:00");
  list.removeoutputline();
  EXPECT_EQ(list.lxline(), 3);
  EXPECT_EQ(list.entry(2), "REC 00:00:30:00 00:00:40:00 STOP");
  list.removeoutputline();
  EXPECT_EQ(list.lxline(), 2);
  EXPECT_EQ(list.entry(2), " ");
  list.removeoutputline();
  list.removeoutputline();
  list.removeoutputline();  // on an empty list: nothing left to remove
  EXPECT_EQ(list.lxline(), 0);
  EXPECT_EQ(list.lxout(), "PIONEER-DVDRec-EDL 002\r\n");
}

TEST(RecorderListEdit, DeleteTakesTheTitleModeFromTheNewLastRecord) {
  RecorderList list(noOptions());
  list.setTitleMode("PAUSE");
  add(list, "00:00:10:00", "00:00:20:00");
  list.setTitleMode("STOP");
  add(list, "00:00:30:00", "00:00:40:00");
  list.removeoutputline();
  EXPECT_EQ(list.titlemodestring(), "PAUSE");
}

TEST(RecorderListEdit, PauseJoinsAndStopEnds) {
  ConverterOptions o = noOptions();
  o.namechapters = true;
  RecorderList list(o);
  add(list, "00:00:10:00", "00:00:20:00");
  list.changestoptopause();  // last entry is a title name
  EXPECT_EQ(list.entry(0), "REC 00:00:10:00 00:00:20:00 PAUSE");
  EXPECT_EQ(list.entry(1), "C-N 01.AX");
  EXPECT_EQ(list.titlemodestring(), "PAUSE");
  // Ending the title with a chapter name last closes the record before it.
  list.changepausetostop();
  EXPECT_EQ(list.entry(0), "REC 00:00:10:00 00:00:20:00 STOP");
  EXPECT_EQ(list.entry(1), "C-N 01.AX");
  EXPECT_EQ(list.titlemodestring(), "STOP");

  RecorderList plain(noOptions());
  add(plain, "00:00:10:00", "00:00:20:00");
  plain.changestoptopause();
  EXPECT_EQ(plain.entry(0), "REC 00:00:10:00 00:00:20:00 PAUSE");
  plain.changepausetostop();
  EXPECT_EQ(plain.entry(0), "REC 00:00:10:00 00:00:20:00 STOP");
}

TEST(RecorderListEdit, ModeChangesOnAnEmptyListOnlySetTheMode) {
  RecorderList list(noOptions());
  list.changestoptopause();
  EXPECT_EQ(list.titlemodestring(), "PAUSE");
  EXPECT_EQ(list.lxline(), 0);
  list.addwait();
  EXPECT_TRUE(list.setchapter());
  EXPECT_EQ(list.lxline(), 0);
  EXPECT_EQ(list.lxout(), "PIONEER-DVDRec-EDL 002\r\n");
}

TEST(RecorderListEdit, ChapterTurnsTheLastEventIntoAMark) {
  ConverterOptions o = noOptions();
  o.namechapters = true;
  RecorderList list(o);
  add(list, "00:00:10:00", "00:00:20:00");
  ASSERT_TRUE(list.setchapter());  // last entry is the title name
  EXPECT_EQ(list.entry(0), "CHP 00:00:10:00");
  EXPECT_EQ(list.entry(1), "C-N 01.AX");
  ASSERT_TRUE(list.setchapter());  // a chapter name last: nothing happens
  EXPECT_EQ(list.lxline(), 2);

  list.options().namechapters = false;
  add(list, "00:00:30:00", "00:00:40:00");
  list.options().namechapters = true;
  ASSERT_TRUE(list.setchapter());  // a record last: becomes a mark with a default name
  EXPECT_EQ(list.entry(2), "CHP 00:00:30:00");
  EXPECT_EQ(list.entry(3), "C-N Chapter");
  EXPECT_EQ(list.lxline(), 4);
}

TEST(RecorderListEdit, NewTapeAddsOneWaitAndNoPlaceholder) {
  ConverterOptions o;  // finalize on
  RecorderList list(o);
  add(list, "00:00:10:00", "00:00:20:00");
  list.addwait();
  list.addwait();
  EXPECT_EQ(list.lxline(), 2);
  EXPECT_EQ(list.entry(1), "WAI");
  EXPECT_EQ(list.entry(2), " ");
  EXPECT_EQ(list.lxout(),
            "PIONEER-DVDRec-EDL 002\r\n001 INI\r\n002 REC 00:00:10:00 00:00:20:00 STOP\r\n"
            "002 WAI\r\n003 FNL\r\n");
}

TEST(RecorderListLimits, NeverWritesPastTheLastSlot) {
  ConverterOptions o = noOptions();
  o.namechapters = true;  // two slots per event
  RecorderList list(o);
  for (int i = 0; i < 98; ++i) {
    add(list, "00:00:10:00", "00:00:20:00");
  }
  list.removeoutputline();  // 195 entries
  list.addwait();           // 196: after a record
  ASSERT_EQ(list.lxline(), 196);
  add(list, "00:00:30:00", "00:00:40:00");  // 198
  EXPECT_EQ(list.slotsForEvent(), 2);
  EXPECT_FALSE(list.addEvent("00:00:50:00", "00:01:00:00", eventLine("a", "b")));
  EXPECT_EQ(list.lxline(), 198);
  EXPECT_EQ(list.timestring2(), "00:00:40:00");  // the refused event left no trace
  list.options().namechapters = false;
  add(list, "00:00:50:00", "00:01:00:00");  // exactly fills the list
  EXPECT_EQ(list.lxline(), RecorderList::lxmax);
  EXPECT_FALSE(list.addEvent("00:00:50:00", "00:01:00:00", eventLine("a", "b")));
  list.addwait();
  EXPECT_EQ(list.lxline(), RecorderList::lxmax);

  // A chapter mark whose name would not fit is refused whole.
  list.options().namechapters = true;
  EXPECT_FALSE(list.setchapter());
  EXPECT_EQ(list.entry(198), "REC 00:00:50:00 00:01:00:00 STOP");
}

TEST(RecorderListLimits, AutoChapterFirstEventNeedsThreeSlots) {
  ConverterOptions o = noOptions();
  o.namechapters = true;
  o.autochapter = true;
  RecorderList list(o);
  EXPECT_EQ(list.slotsForEvent(), 3);
  list.setTitleMode("PAUSE");
  EXPECT_EQ(list.slotsForEvent(), 2);
  add(list, "00:00:10:00", "00:00:20:00");
  EXPECT_EQ(list.slotsForEvent(), 2);
}

}  // namespace
