// Reading the source EDL into its store, and recognising events, frame counts and names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "edl/ConverterOptions.h"
#include "edl/SourceEdl.h"
#include "edl/SourceEvent.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "orva-convert-XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string write(const std::string& name, const std::string& bytes) const {
    const std::string p = path_ + "/" + name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const std::string kEvent =
    "001  AX       V     C        00:00:10:00 00:00:20:00 01:00:00:00 01:00:10:00";

TEST(SourceEdlRead, SplitsAtLfCrAndCrLf) {
  TempDir dir;
  SourceEdl edl;
  ASSERT_EQ(edl.read(dir.write("a.edl", "one\r\ntwo\rthree\nfour")), SourceEdl::ReadResult::Ok);
  ASSERT_EQ(edl.rawlinecount(), 4);
  EXPECT_EQ(edl.line(0), "one");
  EXPECT_EQ(edl.line(1), "two");
  EXPECT_EQ(edl.line(2), "three");
  EXPECT_EQ(edl.line(3), "four");
  EXPECT_EQ(edl.line(4), " ");  // the filler past the loaded lines
  EXPECT_EQ(edl.line(-1), " ");
  EXPECT_EQ(edl.line(5000), " ");
}

TEST(SourceEdlRead, StopsAtALineThatDoesNotStartPrintable) {
  TempDir dir;
  SourceEdl edl;
  edl.read(dir.write("tab.edl", "TITLE: X\n\nline\n\tthird\nmore\n"));
  EXPECT_EQ(edl.rawlinecount(), 3);  // the empty line counts; the tab line ends reading
  // A byte-order mark in front is no part of the first line.
  edl.read(dir.write("bom.edl", "\xEF\xBB\xBFTITLE: X\n" + kEvent + "\n"));
  EXPECT_EQ(edl.rawlinecount(), 2);
  EXPECT_EQ(edl.line(0), "TITLE: X");
  edl.read(dir.write("del.edl", "\x7F ok\n\x80 no\n"));
  EXPECT_EQ(edl.rawlinecount(), 1);
  // Later bytes above 0x7F of a file that is not UTF-8 are ISO 8859-1 characters, one each,
  // stored in UTF-8.
  edl.read(dir.write("latin.edl", "A\xE9\xFF\n"));
  ASSERT_EQ(edl.rawlinecount(), 1);
  EXPECT_EQ(edl.line(0), "A\u00e9\u00ff");
  EXPECT_EQ(edl.encoding(), TextCodec::Encoding::Latin1);
}

TEST(SourceEdlRead, KeepsAtMost999Lines) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 1200; ++i) {
    text += kEvent + "\n";
  }
  SourceEdl edl;
  edl.read(dir.write("long.edl", text));
  EXPECT_EQ(edl.rawlinecount(), 999);
}

TEST(SourceEdlRead, HugeLineAndEveryLineIsEchoed) {
  TempDir dir;
  const std::string big(10 * 1024 * 1024, 'x');
  SourceEdl edl;
  int echoed = 0;
  edl.read(dir.write("big.edl", "head\n" + big + "\n\x01tail\n"),
           [&](const std::string&) { ++echoed; });
  ASSERT_EQ(edl.rawlinecount(), 2);
  EXPECT_EQ(edl.line(1).size(), big.size());
  EXPECT_EQ(echoed, 3);  // the rejected line is echoed too
}

TEST(SourceEdlShow, ShowsOnlyLinesOfTwoOrMoreCharacters) {
  TempDir dir;
  SourceEdl edl;
  edl.read(dir.write("s.edl", "TITLE: X\n\nx\nAB\n"));
  EXPECT_EQ(edl.rawlinecount(), 4);
  EXPECT_EQ(edl.showrawedl(), "TITLE: X\nAB\n");
}

TEST(SourceEventRecognise, StandardLinesAndHeadings) {
  auto ev = SourceEvent::recognise(kEvent);
  ASSERT_TRUE(ev);
  EXPECT_EQ(ev->timestring1, "00:00:10:00");
  EXPECT_EQ(ev->timestring2, "00:00:20:00");

  ev = SourceEvent::recognise(
      "002  AX       V     C        00:00:10:00  00:00:20:00 01:00:00:00 01:00:10:00");
  ASSERT_TRUE(ev);
  EXPECT_EQ(ev->timestring2, "00:00:20:00");

  ev = SourceEvent::recognise(
      "003  AX       V     C        01:02:03;04 01:02:13;04 01:00:00;00 01:00:10;00");
  ASSERT_TRUE(ev);
  EXPECT_EQ(ev->timestring1, "01:02:03;04");

  EXPECT_FALSE(SourceEvent::recognise("TITLE: A very long title that goes on"));
  EXPECT_FALSE(SourceEvent::recognise("FCM: NON-DROP FRAME "));
  EXPECT_FALSE(SourceEvent::recognise("* FROM CLIP NAME: something long enough"));
  EXPECT_FALSE(SourceEvent::recognise("short 00:00:10:00"));
}

TEST(SourceEventRecognise, CutLinesAreNoEvents) {
  const std::string head = "001  AX       V     C        ";
  EXPECT_FALSE(SourceEvent::recognise(head + "00:"));          // ends before p + 3
  EXPECT_FALSE(SourceEvent::recognise(head + "00:00:10:00"));  // no second timecode
  EXPECT_FALSE(SourceEvent::recognise(head + "00:00:10:00 00:00:2"));
  EXPECT_FALSE(SourceEvent::recognise(head + "00:00:10:00  00:00:20:0"));
  EXPECT_TRUE(SourceEvent::recognise(head + "00:00:10:00 00:00:20:00"));
  EXPECT_TRUE(SourceEvent::recognise(head + "00:00:10:00  00:00:20:00"));
  EXPECT_FALSE(SourceEvent::recognise(head + "0x:00:10:00 00:00:20:00"));  // no digit before ':'
  EXPECT_FALSE(SourceEvent::recognise(head + "00:00-10:00 00:00:20:00"));
  // Letters in other digit places still make an event; the frame count catches them.
  EXPECT_TRUE(SourceEvent::recognise(head + "x0:0y:10:zz 00:00:20:00"));
}

TEST(SourceEventFrames, CountsAtThirtyFramesWithoutLookingAtSeparators) {
  EXPECT_EQ(SourceEvent::calcframes("01:02:03;04"), 111694);
  EXPECT_EQ(SourceEvent::calcframes("00:58:00:00"), 104400);
  EXPECT_EQ(SourceEvent::calcframes("99:59:59:99"), 99 * 108000 + 59 * 1800 + 59 * 30 + 99);
  EXPECT_FALSE(SourceEvent::calcframes("0x:00:00:00"));
  EXPECT_FALSE(SourceEvent::calcframes("00:00:00: 1"));
  EXPECT_FALSE(SourceEvent::calcframes("00:00:00:0"));
  EXPECT_FALSE(SourceEvent::calcframes(""));
}

TEST(SourceEventNames, ShortenCompressesBlankRuns) {
  EXPECT_EQ(SourceEvent::shortenchaptername("AB  CD  ", "."), "AB.CD");
  EXPECT_EQ(SourceEvent::shortenchaptername("AB  CD", "."), "AB.CD ");
  EXPECT_EQ(SourceEvent::shortenchaptername(" AX       V   ", "."), ".AX.V");
  EXPECT_EQ(SourceEvent::shortenchaptername("   ", "."), "");
  EXPECT_EQ(SourceEvent::shortenchaptername("A B", "_-"), "A_B");
  EXPECT_EQ(SourceEvent::shortenchaptername("A  B  ", ""), "A B");
}

TEST(SourceEventNames, NamesComeFromTheColumnRange) {
  ConverterOptions o;
  o.namefirst = 4;
  o.namelast = 18;
  EXPECT_EQ(SourceEvent::getchaptername(std::string(18, 'a'), o), "C-N Chapter");
  EXPECT_EQ(SourceEvent::gettitlename(std::string(18, 'a'), o), "T-N TitleName");
  EXPECT_EQ(SourceEvent::getchaptername(kEvent, o), "C-N .AX.V");
  EXPECT_EQ(SourceEvent::gettitlename("0123AB   CDEFGHIJKLMNOP", o), "T-N AB.CDEFGHIJK  ");
  o.namefirst = 0;
  o.namelast = 2;
  EXPECT_EQ(SourceEvent::gettitlename("  xxxxxxxx", o), "T-N   ");  // two characters: as cut
}

}  // namespace
