// Every real EDL of the sample collection converts with every option combination, and the list
// holds one REC or CHP per recognised event line (as far as the list and the step bound allow).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "edl/EdlConverter.h"
#include "edl/SourceEvent.h"
#include "support/EdlSamples.h"

namespace fs = std::filesystem;

namespace {

class SilentView : public ConverterView {
 public:
  void print(const std::string&) override {}
  void pause(int) override {}
};

// Event lines among the lines a whole conversion steps to: one step per line of two or more
// characters (or the last line), at most 199 steps.
int eventsWithinSteps(const SourceEdl& src) {
  int events = 0;
  int steps = 0;
  for (int i = 0; i < src.rawlinecount() && steps < RecorderList::lxmax; ++i) {
    const std::string& line = src.line(i);
    if (line.size() < 2 && i + 1 < src.rawlinecount()) {
      continue;
    }
    ++steps;
    if (SourceEvent::recognise(line)) {
      ++events;
    }
  }
  return events;
}

TEST(Samples, EveryFileWithEveryOptionCombination) {
  if (EdlSamples::dir().empty()) {
    GTEST_SKIP() << EdlSamples::kSkipReason;
  }
  const auto files = EdlSamples::files();
  ASSERT_FALSE(files.empty()) << "no .edl files in " << EdlSamples::dir();
  SilentView view;
  int converted = 0;
  for (const auto& file : files) {
    for (int bits = 0; bits < 64; ++bits) {
      ConverterOptions o;
      o.initialize = bits & 1;
      o.finalize = bits & 2;
      o.onetitle = bits & 4;
      o.autochapter = bits & 8;
      o.namechapters = bits & 16;
      o.optimize = bits & 32;
      o.namefirst = 9;
      o.namelast = 40;
      EdlConverter c(o, &view);
      ASSERT_EQ(c.load(file.parent_path().string(), file.filename().string()),
                EdlConverter::LoadStatus::Loaded)
          << file;
      ++converted;
      const int expected = eventsWithinSteps(c.source());
      const RecorderList& list = c.list();
      ASSERT_LE(list.lxline(), RecorderList::lxmax);
      int marks = 0;
      int names = 0;
      for (int i = 0; i < list.lxline(); ++i) {
        const std::string tag = list.entry(i).substr(0, 3);
        marks += tag == "REC" || tag == "CHP";
        names += tag == "T-N" || tag == "C-N";
      }
      SCOPED_TRACE(file.filename().string() + " options " + std::to_string(bits));
      if (list.full()) {
        // Stopped by the list's size: either the list is at its last slot, or the next event
        // would not have fit and was refused.
        EXPECT_LE(marks, expected);
        EXPECT_GT(list.lxline() + list.slotsForEvent(), RecorderList::lxmax);
        if (list.lxline() < RecorderList::lxmax) {
          EXPECT_LT(marks, expected);
        }
      } else {
        EXPECT_EQ(marks, expected);
      }
      if (o.namechapters) {
        EXPECT_GE(names, marks);
      } else {
        EXPECT_EQ(names, 0);
      }
      // The file text: header first, every line ended by CR LF, all lines numbered.
      const std::string& out = c.lxout();
      ASSERT_EQ(out.rfind("PIONEER-DVDRec-EDL 002\r\n", 0), 0u);
      ASSERT_EQ(out.substr(out.size() - 2), "\r\n");
      std::size_t pos = out.find("\r\n") + 2;
      while (pos < out.size()) {
        const auto end = out.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos);
        const std::string line = out.substr(pos, end - pos);
        ASSERT_GE(line.size(), 7u);
        EXPECT_TRUE(SourceEvent::isnumeric(line[0]) && SourceEvent::isnumeric(line[1]) &&
                    SourceEvent::isnumeric(line[2]) && line[3] == ' ')
            << line;
        pos = end + 2;
      }
    }
  }
  EXPECT_EQ(converted, static_cast<int>(files.size()) * 64);
}

TEST(Samples, KnownFilesGiveTheirEvents) {
  SilentView view;
  ConverterOptions o;
  o.initialize = false;
  o.finalize = false;
  EdlConverter c(o, &view);
  if (EdlSamples::dir().empty()) {
    GTEST_SKIP() << EdlSamples::kSkipReason;
  }
  const std::string dir = EdlSamples::dir();
  c.load(dir, "bradcordeiro__edl-genius__pull001_201109_exr.edl");
  EXPECT_EQ(c.list().lxline(), 3);
  // A file that begins with a byte-order mark reads past it: all 50 events.
  c.load(dir, "bradcordeiro__edl-genius__070816_EG101_HEISTS_ROUGH_CUT_SOURCES_PART_1.edl");
  int recs = 0;
  for (int i = 0; i < c.list().lxline(); ++i) {
    recs += c.list().entry(i).rfind("REC ", 0) == 0 ? 1 : 0;
  }
  EXPECT_EQ(recs, 50);
  // More events than the list holds: one entry each until the 199th step.
  c.load(dir, "OpenTimelineIO__otio-cmx3600-adapter__speed_effects.edl");
  EXPECT_EQ(c.rawlinecount(), 999);
  EXPECT_GT(c.list().lxline(), 0);
  EXPECT_LE(c.list().lxline(), RecorderList::lxmax);
}

}  // namespace
