// A conversion session: loading, the cursor with its wrap and step back, whole conversion, the
// option switches, the full list, messages and pauses, and saving.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "edl/EdlConverter.h"

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
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ + "/" + name, std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path_ + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Records what the converter shows; pauses return at once.
class RecordingView : public ConverterView {
 public:
  void showSource(const std::string& text) override { sources.push_back(text); }
  void showList(const std::string& text) override { lists.push_back(text); }
  void showTitle(const std::string& text) override { titles.push_back(text); }
  void print(const std::string& line) override { printed.push_back(line); }
  void pause(int ms) override {
    pauses.push_back(ms);
    sourceDuringPause.push_back(sources.empty() ? "" : sources.back());
  }
  std::vector<std::string> sources, lists, titles, printed, sourceDuringPause;
  std::vector<int> pauses;
};

std::string event(int n, const std::string& in, const std::string& out) {
  char num[8];
  std::snprintf(num, sizeof num, "%03d", n % 1000);
  return std::string(num) + "  AX       V     C        " + in + " " + out +
         " 01:00:00:00 01:00:10:00";
}

// n events at one minute spacing, each ten seconds long.
std::string events(int n, bool headings = true) {
  std::string text = headings ? "TITLE: TEST\nFCM: NON-DROP FRAME\n" : "";
  for (int i = 0; i < n; ++i) {
    char in[16], out[16];
    std::snprintf(in, sizeof in, "%02d:%02d:00:00", i / 60, i % 60);
    std::snprintf(out, sizeof out, "%02d:%02d:10:00", i / 60, i % 60);
    text += event(i + 1, in, out) + "\n";
  }
  return text;
}

ConverterOptions plain() {
  ConverterOptions o;
  o.initialize = false;
  o.finalize = false;
  return o;
}

class Session : public ::testing::Test {
 protected:
  EdlConverter& make(ConverterOptions o = plain()) {
    conv_ = std::make_unique<EdlConverter>(o, &view_);
    return *conv_;
  }
  TempDir dir_;
  RecordingView view_;
  std::unique_ptr<EdlConverter> conv_;
};

TEST_F(Session, LoadConvertsTheWholeFileAndShowsIt) {
  dir_.write("two.edl", events(2));
  auto& c = make();
  EXPECT_EQ(c.load(dir_.path(), "two.edl"), EdlConverter::LoadStatus::Loaded);
  EXPECT_EQ(c.rawlinecount(), 4);
  EXPECT_EQ(c.rawline(), 0);
  EXPECT_EQ(c.list().lxline(), 2);
  EXPECT_EQ(c.sourceText(), c.rawfile());
  ASSERT_FALSE(view_.titles.empty());
  EXPECT_EQ(view_.titles.back(), ControllerApp::title + " --- Tavlist2 --- Source EDL:  two.edl");
  ASSERT_FALSE(view_.lists.empty());
  EXPECT_EQ(view_.lists.back(), c.lxfile());
  // One conversion updates the view once, not once per event.
  EXPECT_EQ(view_.lists.size(), 1u);
  EXPECT_TRUE(view_.pauses.empty());
}

TEST_F(Session, MissingFileShowsTheMessageDuringItsPause) {
  auto& c = make();
  EXPECT_EQ(c.load(dir_.path(), "nothing.edl"), EdlConverter::LoadStatus::NotFound);
  ASSERT_EQ(view_.pauses, std::vector<int>{3000});
  EXPECT_EQ(view_.sourceDuringPause[0], "EDL file not found!");
  EXPECT_EQ(view_.printed, std::vector<std::string>{"EDL file not found!"});
  EXPECT_EQ(c.sourceText(), "");  // replaced by the empty source afterwards
  EXPECT_EQ(c.list().lxline(), 0);
}

TEST_F(Session, ReadErrorKeepsWhatWasRead) {
  auto& c = make();
  EXPECT_EQ(c.load("", dir_.path()), EdlConverter::LoadStatus::ReadError);
  EXPECT_EQ(view_.pauses, std::vector<int>{3000});
  EXPECT_EQ(view_.sourceDuringPause[0], "Problem Reading File");
  EXPECT_EQ(view_.printed, std::vector<std::string>{"Problem reading file!"});
}

TEST_F(Session, VerboseEchoesEveryLineRead) {
  dir_.write("two.edl", events(2));
  ConverterOptions o = plain();
  o.verbose = true;
  auto& c = make(o);
  c.load(dir_.path(), "two.edl");
  EXPECT_EQ(view_.printed.size(), 4u);
  EXPECT_EQ(view_.printed[0], "TITLE: TEST");
}

TEST_F(Session, ProcessLineStepsSkipsBlanksAndWraps) {
  dir_.write("s.edl", "TITLE: T\n\n" + event(1, "00:00:10:00", "00:00:20:00") + "\nx\n" +
                          event(2, "00:01:00:00", "00:01:10:00") + "\n\n");
  auto& c = make();
  c.load(dir_.path(), "s.edl");
  ASSERT_EQ(c.rawlinecount(), 6);
  c.next();  // the title line: no event
  EXPECT_EQ(c.rawline(), 1);
  EXPECT_EQ(c.sourceText(), "1 TITLE: T");
  EXPECT_EQ(c.list().lxline(), 0);
  c.next();  // passes the blank line
  EXPECT_EQ(c.rawline(), 3);
  EXPECT_EQ(c.list().lxline(), 1);
  c.next();  // passes "x"
  EXPECT_EQ(c.rawline(), 5);
  EXPECT_EQ(c.list().lxline(), 2);
  c.next();  // the blank last line is taken and adds nothing
  EXPECT_EQ(c.rawline(), 6);
  EXPECT_EQ(c.sourceText(), "6 ");
  EXPECT_EQ(c.list().lxline(), 2);
  c.next();  // wraps: list cleared, first line again
  EXPECT_EQ(c.rawline(), 1);
  EXPECT_EQ(c.list().lxline(), 0);
}

TEST_F(Session, StepBackFromFiveTwoAndOne) {
  dir_.write("s.edl", events(8));  // two headings, then events on lines 2..9
  auto& c = make();
  c.load(dir_.path(), "s.edl");
  for (int i = 0; i < 5; ++i) {
    c.next();
  }
  ASSERT_EQ(c.rawline(), 5);
  ASSERT_EQ(c.list().lxline(), 3);
  c.backupsourceedl();  // to 2: line 2 converted again and appended
  EXPECT_EQ(c.rawline(), 3);
  EXPECT_EQ(c.list().lxline(), 4);
  EXPECT_EQ(c.list().entry(3), c.list().entry(0));

  c.backupsourceedl();  // from 3: lands on 0, list cleared, first line again
  EXPECT_EQ(c.rawline(), 1);
  EXPECT_EQ(c.list().lxline(), 0);
  c.backupsourceedl();  // from 1: stays, line 1 again
  EXPECT_EQ(c.rawline(), 2);
  EXPECT_EQ(c.list().lxline(), 0);
  c.next();
  c.backupsourceedl();  // from 3 (line 2 taken): back to 0
  EXPECT_EQ(c.rawline(), 1);
  EXPECT_EQ(c.list().lxline(), 0);
}

TEST_F(Session, StepOnAnEmptySourceTakesTheFiller) {
  auto& c = make();
  c.next();
  c.backupsourceedl();
  EXPECT_EQ(c.rawline(), 0);
  EXPECT_EQ(c.sourceText(), "0  ");
}

TEST_F(Session, AllPsClosesTheLastRecordOnlyWhenMoreThanOneStep) {
  dir_.write("two.edl", events(2));
  dir_.write("one.edl", event(1, "00:00:10:00", "00:00:20:00") + "\n");
  ConverterOptions o = plain();
  o.onetitle = true;
  auto& c = make(o);
  c.load(dir_.path(), "two.edl");
  EXPECT_EQ(c.list().entry(0), "REC 00:00:00:00 00:00:10:00 PAUSE");
  EXPECT_EQ(c.list().entry(1), "REC 00:01:00:00 00:01:10:00 STOP");
  c.load(dir_.path(), "one.edl");
  EXPECT_EQ(c.list().entry(0), "REC 00:00:10:00 00:00:20:00 PAUSE");
}

TEST_F(Session, AllPsWithNamesClosesTheTitleToo) {
  dir_.write("two.edl", events(2));
  ConverterOptions o = plain();
  o.onetitle = true;
  o.namechapters = true;
  auto& c = make(o);
  c.load(dir_.path(), "two.edl");
  ASSERT_EQ(c.list().lxline(), 4);
  EXPECT_EQ(c.list().entry(0), "REC 00:00:00:00 00:00:10:00 PAUSE");
  EXPECT_EQ(c.list().entry(2), "REC 00:01:00:00 00:01:10:00 STOP");
  EXPECT_EQ(c.list().entry(3), "C-N 02.AX");
}

TEST_F(Session, OptionSwitches) {
  dir_.write("three.edl", events(3));
  ConverterOptions o = plain();
  o.onetitle = true;
  auto& c = make(o);
  c.load(dir_.path(), "three.edl");
  c.setAutoChapter(true);
  EXPECT_FALSE(c.options().onetitle);
  EXPECT_EQ(c.list().titlemodestring(), "STOP");
  EXPECT_EQ(c.list().entry(0), "REC 00:00:00:00 00:02:10:00 STOP");
  EXPECT_EQ(c.list().entry(1), "CHP 00:01:00:00");
  EXPECT_EQ(c.list().entry(2), "CHP 00:02:00:00");

  c.setAllPs(true);  // pause mode with auto chapters: the rewrite still ends with STOP
  EXPECT_TRUE(c.options().autochapter);
  EXPECT_EQ(c.list().entry(0), "REC 00:00:00:00 00:02:10:00 STOP");

  const std::string before = c.lxout();
  c.setNameChapters(true);  // applies to later conversions only
  EXPECT_EQ(c.lxout(), before);
  c.setOptimize(true);  // re-renders at once
  EXPECT_NE(c.lxout().find("001 SET R:31 F:2\r\n"), std::string::npos);
  c.setInitialize(true);
  c.setFinalize(true);
  EXPECT_EQ(c.lxout().substr(0, 31), "PIONEER-DVDRec-EDL 002\r\n001 INI");
  EXPECT_NE(c.lxout().find("004 FNL\r\n"), std::string::npos);
  EXPECT_EQ(c.list().lxline(), 3);
}

TEST_F(Session, FullListStopsAt199AndShowsTheNotice) {
  dir_.write("many.edl", events(250, false));
  ConverterOptions o = plain();
  o.onetitle = true;
  auto& c = make(o);
  c.load(dir_.path(), "many.edl");
  EXPECT_EQ(c.list().lxline(), RecorderList::lxmax);
  EXPECT_TRUE(c.list().full());
  ASSERT_EQ(view_.pauses, std::vector<int>{1000});
  EXPECT_EQ(view_.sourceDuringPause[0], "LX-1 EDL IS FULL");
  EXPECT_EQ(c.list().entry(198).substr(28), "STOP");
  EXPECT_EQ(c.list().entry(197).substr(28), "PAUSE");
  EXPECT_EQ(c.sourceText(), c.rawfile());

  // Stepping by hand fills the list at the 199th line; each further step repeats the notice.
  for (int i = 0; i < 199; ++i) {
    c.next();
  }
  EXPECT_EQ(view_.pauses.size(), 2u);
  c.next();
  EXPECT_EQ(view_.pauses.size(), 3u);
  EXPECT_EQ(c.rawline(), 200);
  c.wait();  // no room for a wait either
  EXPECT_EQ(view_.pauses.size(), 4u);
  EXPECT_EQ(c.list().lxline(), RecorderList::lxmax);
}

TEST_F(Session, AnEventThatDoesNotFitIsRefusedWhole) {
  dir_.write("many.edl", events(150));
  ConverterOptions o = plain();
  o.namechapters = true;  // two entries per event: 99 events fill 198 slots
  auto& c = make(o);
  c.load(dir_.path(), "many.edl");
  EXPECT_EQ(c.list().lxline(), 198);
  EXPECT_EQ(c.list().entry(198), " ");
  EXPECT_TRUE(c.list().full());
  EXPECT_EQ(view_.pauses, std::vector<int>{1000});
  EXPECT_EQ(c.list().entry(197).substr(0, 4), "T-N ");
}

TEST_F(Session, SaveWritesTheFileTextAndAppliesNameRules) {
  dir_.write("two.edl", events(2));
  dir_.write("a.edl", std::string(100000, 'z'));  // an older, longer file is replaced whole
  auto& c = make(ConverterOptions{});
  c.load(dir_.path(), "two.edl");
  EXPECT_EQ(c.save(dir_.path(), "abcd").status, RecorderFile::Status::NameError);
  EXPECT_EQ(view_.printed, (std::vector<std::string>{" ", RecorderFile::nameErrorText}));
  EXPECT_EQ(c.save(dir_.path(), "show").status, RecorderFile::Status::NameError);
  EXPECT_EQ(c.save(dir_.path(), "a.edl").status, RecorderFile::Status::Saved);
  EXPECT_EQ(c.save(dir_.path(), "show.EDL").status, RecorderFile::Status::Saved);
  EXPECT_EQ(c.save(dir_.path() + "/", "shows").status, RecorderFile::Status::Saved);
  EXPECT_EQ(dir_.read("a.edl"), c.lxout());
  EXPECT_EQ(dir_.read("show.EDL.edl"), c.lxout());
  EXPECT_EQ(dir_.read("shows.edl"), c.lxout());
  EXPECT_FALSE(fs::exists(dir_.path() + "/abcd.edl"));
  EXPECT_EQ(c.lxout(),
            "PIONEER-DVDRec-EDL 002\r\n001 INI\r\n002 REC 00:00:00:00 00:00:10:00 STOP\r\n"
            "003 REC 00:01:00:00 00:01:10:00 STOP\r\n004 FNL\r\n");
  // Only the target files are left: no temporary files beside them.
  int files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_.path())) {
    ++files;
  }
  EXPECT_EQ(files, 4);
}

// Names beyond ASCII, from a UTF-8 source and from a Latin-1 one: the name columns count
// characters, and the list goes back to disc in the source's encoding.
TEST_F(Session, NamesAreCutAsCharactersAndSavedInTheSourceEncoding) {
  const std::string fixtures = std::string(ORVA_SOURCE_DIR) + "/tests/fixtures/edl";
  for (const char* fixture : {"utf8-names.edl", "latin1-names.edl"}) {
    SCOPED_TRACE(fixture);
    ConverterOptions o = plain();
    o.namechapters = true;
    o.namefirst = 5;
    o.namelast = 9;  // ends right after the accented letter
    auto& c = make(o);
    c.load(fixtures, fixture);
    EXPECT_EQ(c.lxfile(),
              "PIONEER-DVDRec-EDL 002\n001 REC 00:00:10:00 00:00:20:00 STOP\n001 T-N Caf\u00e9\n"
              "002 REC 00:01:00:00 00:01:10:00 STOP\n002 T-N \u00d1and\n");
    EXPECT_NE(c.sourceText().find("001  Caf\u00e901"), std::string::npos);
    ASSERT_EQ(c.save(dir_.path(), "names.edl").status, RecorderFile::Status::Saved);
    const bool latin1 = std::string(fixture).rfind("latin1", 0) == 0;
    EXPECT_NE(dir_.read("names.edl").find(latin1 ? "T-N Caf\xE9\r\n" : "T-N Caf\u00e9\r\n"),
              std::string::npos);
  }
}

// A save through a symbolic link writes the file it names (made when the link dangles), and an
// existing file keeps its permissions.
TEST_F(Session, SaveKeepsTheLinkAndThePermissionsOfTheFile) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX permission bits and symbolic links";
#endif
  dir_.write("two.edl", events(2));
  dir_.write("kept.edl", "older list\r\n");
  const std::string kept = dir_.path() + "/kept.edl";
  fs::permissions(kept, fs::perms(0640));
  fs::create_symlink("kept.edl", dir_.path() + "/link.edl");
  fs::create_symlink("made.edl", dir_.path() + "/dangling.edl");
  auto& c = make();
  c.load(dir_.path(), "two.edl");
  ASSERT_EQ(c.save(dir_.path(), "link.edl").status, RecorderFile::Status::Saved);
  ASSERT_EQ(c.save(dir_.path(), "dangling.edl").status, RecorderFile::Status::Saved);
  for (const char* link : {"link.edl", "dangling.edl"}) {
    EXPECT_TRUE(fs::is_symlink(dir_.path() + "/" + link)) << link;
    EXPECT_EQ(dir_.read(link), c.lxout()) << link;
  }
  EXPECT_EQ(fs::status(kept).permissions() & fs::perms::all, fs::perms(0640));
}

TEST_F(Session, FailedSaveKeepsTheOlderFileAndSaysSo) {
  dir_.write("two.edl", events(2));
  dir_.write("keep.edl", "older list\r\n");
  auto& c = make();
  c.load(dir_.path(), "two.edl");

#ifndef _WIN32
  // A write cut short (the file size limit stands in for a full disc).
  struct rlimit old {};
  ::getrlimit(RLIMIT_FSIZE, &old);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 16;
  ::setrlimit(RLIMIT_FSIZE, &small);
  const auto r = c.save(dir_.path(), "keep.edl");
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(r.status, RecorderFile::Status::WriteError);
  EXPECT_EQ(dir_.read("keep.edl"), "older list\r\n");
  ASSERT_EQ(view_.printed.size(), 1u);
  EXPECT_EQ(view_.printed[0].rfind("Problem writing file ", 0), 0u);
  EXPECT_EQ(c.sourceText(), view_.printed[0]);
#endif

  // No folder to write into, and a folder in the way of the name.
  EXPECT_EQ(c.save(dir_.path() + "/no/such/dir", "list.edl").status,
            RecorderFile::Status::WriteError);
  fs::create_directory(dir_.path() + "/taken.edl");
  EXPECT_EQ(c.save(dir_.path(), "taken.edl").status, RecorderFile::Status::WriteError);
  EXPECT_TRUE(fs::is_directory(dir_.path() + "/taken.edl"));

#ifndef _WIN32
  if (::geteuid() != 0) {
    ::chmod(dir_.path().c_str(), 0555);
    EXPECT_EQ(c.save(dir_.path(), "keep.edl").status, RecorderFile::Status::WriteError);
    ::chmod(dir_.path().c_str(), 0755);
    EXPECT_EQ(dir_.read("keep.edl"), "older list\r\n");
  }
#endif
  // None of the failures left a temporary file behind.
  int files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_.path())) {
    ++files;
  }
  EXPECT_EQ(files, 3);
}

TEST_F(Session, MalformedFilesLoadWithoutHarm) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) {
    junk.push_back(static_cast<char>((i * 7919) & 0xFF));
  }
  const std::string head = "001  AX       V     C        ";
  dir_.write("junk.edl", "TITLE: junk\nJ" + junk);
  dir_.write("cut.edl", "TITLE: cut\n" + head + "00:\n" + head + "00:00:10:00 00:0\n" + head +
                            "a0:cd:ef:gh ij:kl:mn:op\n" + std::string(5'000'000, ':') + "\n" +
                            head + "00:00:10:00 00:00:20:00");
  for (bool autoch : {false, true}) {
    for (bool names : {false, true}) {
      ConverterOptions o;
      o.autochapter = autoch;
      o.optimize = true;
      o.namechapters = names;
      o.namefirst = 0;
      o.namelast = 31;
      auto& c = make(o);
      EXPECT_EQ(c.load(dir_.path(), "junk.edl"), EdlConverter::LoadStatus::Loaded);
      EXPECT_EQ(c.load(dir_.path(), "cut.edl"), EdlConverter::LoadStatus::Loaded);
      // the letters line and the final line are events; the cut lines are not
      EXPECT_EQ(c.list().lxline(), autoch ? (names ? 5 : 2) : (names ? 4 : 2));
      if (autoch) {
        EXPECT_NE(c.lxout().find("SET R:16 F:1"), std::string::npos);
      }
    }
  }
}

}  // namespace
