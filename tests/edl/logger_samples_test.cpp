#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/ControllerApp.h"
#include "edl/EditList.h"
#include "support/EdlSamples.h"

namespace {

struct Loaded {
  EditList list;
  std::ostringstream log;
  int count = 0;
};

std::unique_ptr<Loaded> load(const std::string& name) {
  auto l = std::make_unique<Loaded>();
  l->list.setOutput(l->log);
  l->count = l->list.LoadEDL(EdlSamples::file(name));
  return l;
}

}  // namespace

TEST(LoggerSamples, EveryFileLoadsWithoutFailing) {
  if (EdlSamples::dir().empty()) {
    GTEST_SKIP() << EdlSamples::kSkipReason;
  }
  ControllerApp::resetDefaults();
  const std::vector<std::filesystem::path> files = EdlSamples::files();
  ASSERT_GE(files.size(), 20u) << EdlSamples::dir();
  for (const auto& f : files) {
    EditList list;
    std::ostringstream log;
    list.setOutput(log);
    int n = list.LoadEDL(f.string());
    EXPECT_GE(n, 0) << f;
    EXPECT_LE(n, 100) << f;
    EXPECT_EQ(log.str(), " \n \n") << f;  // no failure lines
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(list.ClipNameArray[i].find(' '), std::string::npos) << f;
    }
  }
}

TEST(LoggerSamples, FirstEventsOfWellFormedFiles) {
  if (EdlSamples::dir().empty()) {
    GTEST_SKIP() << EdlSamples::kSkipReason;
  }
  ControllerApp::resetDefaults();
  {
    // Resolve marker list: reel 001, one-frame events separated by blank and marker lines.
    auto l = load("VyacheArt__edl-to-youtube__example.edl");
    EXPECT_EQ(l->count, 13);
    EXPECT_EQ(l->list.ClipNameArray[0], "001");
    EXPECT_EQ(l->list.SrcInArray[0], "00:00:57:20");
    EXPECT_EQ(l->list.SrcOutArray[0], "00:00:57:21");
    EXPECT_EQ(l->list.SrcInArray[1], "00:01:36:21");
  }
  {
    // Tabs between the fields: the times are still found after the first colon.
    auto l = load("AcademySoftwareFoundation__OpenTimelineIO__mixed_tabs_test.edl");
    ASSERT_GE(l->count, 2);
    EXPECT_EQ(l->list.ClipNameArray[0], "ZZ100_50");
    EXPECT_EQ(l->list.SrcInArray[0], "01:00:04:05");
    EXPECT_EQ(l->list.SrcOutArray[0], "01:00:05:12");
    EXPECT_EQ(l->list.SrcInArray[1], "01:00:06:13");
  }
  {
    // Four-digit event numbers put a blank at column 5: the clip name is empty.
    auto l = load("iluvcapra__pycmx__ISSUE_19_unusual01.edl");
    EXPECT_EQ(l->count, 38);
    EXPECT_EQ(l->list.ClipNameArray[0], "");
    EXPECT_EQ(l->list.SrcInArray[0], "15:51:58:10");
    EXPECT_EQ(l->list.SrcOutArray[0], "15:52:02:16");
    EXPECT_EQ(l->list.SrcInArray[1], "20:19:58:21");
  }
  {
    // More than 100 event lines: the list fills up and reading stops.
    auto l = load("iluvcapra__pycmx__TEST.edl");
    EXPECT_EQ(l->count, 100);
  }
}

TEST(LoggerSamples, FilesNotStartingWithTLoadNothing) {
  if (EdlSamples::dir().empty()) {
    GTEST_SKIP() << EdlSamples::kSkipReason;
  }
  ControllerApp::resetDefaults();
  // Leading blank line; a title-less list.
  for (const char* name : {"OpenTimelineIO__otio-cmx3600-adapter__25fps.edl",
                           "bradcordeiro__libedl__cmx3600extended.edl"}) {
    auto l = load(name);
    EXPECT_EQ(l->count, 0) << name;
    EXPECT_EQ(l->list.ClipNameArray[0], "Name01") << name;
  }
  // A UTF-8 byte-order mark before the T is skipped.
  auto l = load("bradcordeiro__edl-genius__070816_EG101_HEISTS_ROUGH_CUT_SOURCES_PART_1.edl");
  EXPECT_GT(l->count, 0);
  EXPECT_TRUE(l->list.bom);
}
