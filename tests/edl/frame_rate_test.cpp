// Timecode at 30, 25, 24 and 29.97 drop-frame: the label arithmetic over a whole day (checked
// against the deck emulator's own counting), the logger's saved list at each rate, and EDLs
// that begin with a UTF-8 byte-order mark.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/ControllerApp.h"
#include "app/TextCodec.h"
#include "app/TimecodeRate.h"
#include "edl/EditList.h"
#include "edl/EdlConverter.h"
#include "edl/Timecode.h"
#include "sim/FrameRate.h"
#include "support/TempFolder.h"

namespace {

using Kind = TimecodeRate::Kind;
const Kind kKinds[] = {Kind::Fps30, Kind::Fps25, Kind::Fps24, Kind::Fps2997Df};

// The emulator's independent model of the same rate, where it has one.
std::optional<FrameRate> emulatorRate(Kind k) {
  switch (k) {
    case Kind::Fps30:
      return FrameRate(FrameRate::Kind::Fps30);
    case Kind::Fps25:
      return FrameRate(FrameRate::Kind::Fps25);
    case Kind::Fps2997Df:
      return FrameRate(FrameRate::Kind::Fps2997Df);
    case Kind::Fps24:
      break;
  }
  return std::nullopt;
}

class SilentView : public ConverterView {
 public:
  void print(const std::string&) override {}
  void pause(int) override {}
};

TimecodeRate::Fields fieldsOf(const std::string& tc) {
  auto two = [&](int p) { return (tc[p] - '0') * 10 + (tc[p + 1] - '0'); };
  return {two(0), two(3), two(6), two(9)};
}

}  // namespace

TEST(TimecodeRate, EveryFrameOfADayHasOneLabelAndBack) {
  for (Kind k : kKinds) {
    const TimecodeRate rate(k);
    SCOPED_TRACE(rate.name());
    const auto sim = emulatorRate(k);
    const int day = 24 * rate.framesPerHour();
    int mismatches = 0;
    for (int frame = 0; frame < day && mismatches < 5; ++frame) {
      const TimecodeRate::Fields f = rate.fields(frame);
      bool ok = rate.exists(f) && rate.count(f) == frame;
      if (sim) {
        const FrameRate::Label l = sim->label(frame);
        ok = ok && l.hours == f.hours && l.minutes == f.minutes && l.seconds == f.seconds &&
             l.frames == f.frames;
      }
      if (!ok) {
        ++mismatches;
        ADD_FAILURE() << "frame " << frame << " -> " << rate.text(frame);
      }
    }
    // Every label that exists is one of those frames: as many labels as frames in a day.
    int labels = 0;
    for (int h = 0; h < 24; ++h) {
      for (int m = 0; m < 60; ++m) {
        for (int s = 0; s < 60; ++s) {
          for (int ff = 0; ff < 30; ++ff) {
            labels += rate.exists({h, m, s, ff}) ? 1 : 0;
          }
        }
      }
    }
    EXPECT_EQ(labels, day);
  }
}

TEST(TimecodeRate, DropFrameSkipsTwoLabelsAMinuteExceptEveryTenth) {
  const TimecodeRate df(Kind::Fps2997Df);
  struct Case {
    const char* label;
    bool exists;
    int count;  // a skipped label counts as the frame after it
  } cases[] = {
      {"00:00:59;29", true, 1799},        {"00:01:00;00", false, 1800},
      {"00:01:00;01", false, 1800},       {"00:01:00;02", true, 1800},
      {"00:09:59;29", true, 17981},       {"00:10:00;00", true, 17982},
      {"00:10:00;01", true, 17983},       {"00:11:00;00", false, 17982 + 1800},
      {"01:00:00;00", true, 107892},      {"23:59:59;29", true, 24 * 107892 - 1},
      {"00:02:00;02", true, 1800 + 1798},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(df.exists(fieldsOf(c.label)), c.exists) << c.label;
    EXPECT_EQ(Timecode::frames(c.label, df), c.count) << c.label;
  }
}

TEST(TimecodeRate, DurationsAddAcrossSecondsAndDroppedMinutes) {
  struct Case {
    Kind kind;
    const char* from;
    int frames;
    const char* to;
  } cases[] = {
      {Kind::Fps30, "00:59:59:29", 1, "01:00:00:00"},
      {Kind::Fps30, "00:00:00:00", -15, "00:00:00:-1-5"},  // as the 30 arithmetic always gave
      {Kind::Fps25, "00:00:59:24", 1, "00:01:00:00"},
      {Kind::Fps25, "01:00:00:00", 37, "01:00:01:12"},
      {Kind::Fps24, "00:00:00:23", 1, "00:00:01:00"},
      {Kind::Fps2997Df, "00:00:59;29", 1, "00:01:00;02"},
      {Kind::Fps2997Df, "00:09:59;29", 1, "00:10:00;00"},
      {Kind::Fps2997Df, "01:00:00;00", 1800, "01:01:00;02"},
      {Kind::Fps2997Df, "01:01:00;02", 1798, "01:02:00;02"},
      {Kind::Fps2997Df, "01:00:00;00", 17982, "01:10:00;00"},
      {Kind::Fps2997Df, "01:00:00;00", 107892, "02:00:00;00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Timecode::MakeZeroString2(c.from, c.frames, TimecodeRate(c.kind)), c.to)
        << c.from << " + " << c.frames;
  }
}

TEST(TimecodeRate, SettingTextsAndFramesPerMinute) {
  struct Case {
    const char* text;
    std::optional<Kind> kind;
    int perHour;
    int in105Minutes;
  } cases[] = {
      {"30", Kind::Fps30, 108000, 189000},
      {"25", Kind::Fps25, 90000, 157500},
      {"24", Kind::Fps24, 86400, 151200},
      {"29.97DF", Kind::Fps2997Df, 107892, 188811},
      {"29.97df", Kind::Fps2997Df, 107892, 0},
      {"29.97", std::nullopt, 0, 0},
      {"60", std::nullopt, 0, 0},
      {"", std::nullopt, 0, 0},
  };
  for (const auto& c : cases) {
    const auto rate = TimecodeRate::parse(c.text);
    ASSERT_EQ(rate.has_value(), c.kind.has_value()) << c.text;
    if (rate) {
      EXPECT_EQ(rate->kind(), *c.kind);
      EXPECT_EQ(rate->framesPerHour(), c.perHour);
      if (c.in105Minutes != 0) {
        EXPECT_EQ(rate->framesIn(105), c.in105Minutes) << c.text;
        EXPECT_EQ(TimecodeRate::parse(rate->name()), rate);
      }
    }
  }
}

// A logger list of clips of uneven lengths, saved at each rate: every record time is a label
// of that rate, the record times run on without a gap, the last record out is the exact sum,
// and the frame-count-mode line says how the file counts. It loads back as it was.
TEST(LoggerAtEachRate, SavedListHasValidLabelsAndAnExactRunningTotal) {
  TempFolder dir("orva-fps-logger");
  ASSERT_FALSE(dir.path().empty());
  for (Kind k : kKinds) {
    const TimecodeRate rate(k);
    SCOPED_TRACE(rate.name());
    ControllerApp::resetDefaults();
    ControllerApp::framerate = rate;
    EditList list;
    std::ostringstream log;
    list.setOutput(log);
    list.savename = "list.edl";
    int total = 0;
    unsigned seed = 7;
    constexpr int kClips = 40;
    for (int i = 0; i < kClips; ++i) {
      seed = seed * 1103515245u + 12345u;
      // Clips from 1 s to about 70 s, starting anywhere in the first hour of the tape.
      const int in = static_cast<int>(seed % 100000u);
      const int length = 30 + static_cast<int>((seed >> 8) % 2100u);
      list.ClipNameArray[i] = "Cl" + std::to_string(10 + i);  // four characters: fixed columns
      list.SrcInArray[i] = rate.text(in);
      list.SrcOutArray[i] = rate.text(in + length);
      total += length;
    }
    ASSERT_TRUE(list.SaveEDL(dir.file("list.edl"))) << log.str();
    const std::string text = dir.read("list.edl");
    const std::string fcm = rate.dropFrame() ? "FCM: DROP FRAME \r\n" : "FCM: NON-DROP FRAME \r\n";
    EXPECT_NE(text.find("\r\n" + fcm), std::string::npos);

    std::istringstream lines(text);
    std::string line;
    int events = 0;
    int expectIn = rate.framesPerHour();
    while (std::getline(lines, line)) {
      if (line.size() < 76 || line[0] < '0' || line[0] > '9') {
        continue;
      }
      const std::string recIn = line.substr(53, 11);
      const std::string recOut = line.substr(65, 11);
      for (const std::string& tc : {recIn, recOut}) {
        EXPECT_TRUE(rate.exists(fieldsOf(tc))) << tc;
        EXPECT_EQ(tc[8], rate.separator()) << tc;
      }
      EXPECT_EQ(Timecode::frames(recIn, rate), expectIn) << line;
      expectIn = Timecode::frames(recOut, rate);
      ++events;
    }
    EXPECT_EQ(events, kClips);
    EXPECT_EQ(expectIn, rate.framesPerHour() + total);

    EditList again;
    again.setOutput(log);
    ASSERT_EQ(again.LoadEDL(dir.file("list.edl")), kClips);
    for (int i = 0; i < kClips; ++i) {
      EXPECT_EQ(again.SrcInArray[i], list.SrcInArray[i]);
      EXPECT_EQ(again.SrcOutArray[i], list.SrcOutArray[i]);
    }
  }
  // Tools that write drop-frame with ';' in every place load as well.
  dir.write("semi.edl",
            "TITLE: X\r\nFCM: DROP FRAME\r\n"
            "001  AX       V     C        00;00;10;00 00;00;20;00 01;00;00;00 01;00;10;00\r\n");
  EditList semi;
  std::ostringstream log;
  semi.setOutput(log);
  ASSERT_EQ(semi.LoadEDL(dir.file("semi.edl")), 1);
  EXPECT_EQ(semi.SrcInArray[0], "00;00;10;00");
  EXPECT_EQ(semi.SrcOutArray[0], "00;00;20;00");
  ControllerApp::resetDefaults();
}

// Editors' tools and Windows Notepad begin files with a byte-order mark. It is skipped by both
// readers, and the logger writes it back when the list it loaded had one.
TEST(ByteOrderMark, SourceAndLoggerEdlsReadPastItAndTheLoggerKeepsIt) {
  ControllerApp::resetDefaults();
  TempFolder dir("orva-bom");
  ASSERT_FALSE(dir.path().empty());
  const std::string body =
      "TITLE: CUT\r\nFCM: NON-DROP FRAME\r\n"
      "001  AX       V     C        00:00:10:00 00:00:20:00 01:00:00:00 01:00:10:00\r\n"
      "002  BX       V     C        00:01:00:00 00:01:30:00 01:00:10:00 01:00:40:00\r\n";
  SilentView view;
  for (const bool bom : {false, true}) {
    SCOPED_TRACE(bom ? "with a mark" : "without");
    dir.write("cut.edl", (bom ? "\xEF\xBB\xBF" : "") + body);
    const std::string file = dir.file("cut.edl");

    EdlConverter converter(ConverterOptions{}, &view);
    std::ostringstream out;
    ASSERT_EQ(converter.load(dir.path(), "cut.edl"), EdlConverter::LoadStatus::Loaded);
    int recs = 0;
    for (int i = 0; i < converter.list().lxline(); ++i) {
      recs += converter.list().entry(i).rfind("REC ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(recs, 2);

    EditList list;
    list.setOutput(out);
    ASSERT_EQ(list.LoadEDL(file), 2);
    EXPECT_EQ(list.ClipNameArray[1], "BX");
    ASSERT_TRUE(list.SaveEDL(dir.file("saved.edl"))) << out.str();
    EXPECT_EQ(TextCodec::hasBom(dir.read("saved.edl")), bom);
  }
}
