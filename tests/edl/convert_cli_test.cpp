// The orva-convert program: exit status, output on standard output or into a file, options.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kProgram = ORVA_BINARY_DIR "/edl/orva-convert";

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kProgram)) {
      GTEST_SKIP() << kProgram << " not built";
    }
    std::string tmpl = (fs::temp_directory_path() / "orva-cli-XXXXXX").string();
    dir_ = ::mkdtemp(tmpl.data());
    write("src.edl",
          "TITLE: T\n"
          "001  AX       V     C        00:00:10:00 00:00:20:00 01:00:00:00 01:00:10:00\n"
          "002  BX       V     C        00:01:00:00 00:01:30:00 01:00:10:00 01:00:40:00\n");
  }
  void TearDown() override {
    std::error_code ec;
    if (!dir_.empty()) {
      fs::remove_all(dir_, ec);
    }
  }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Runs the program in the temporary folder; answers its exit status.
  int run(const std::string& args) {
    const std::string cmd =
        "cd '" + dir_ + "' && '" + kProgram + "' " + args + " >stdout.txt 2>stderr.txt";
    const int rc = std::system(cmd.c_str());
    out_ = read("stdout.txt");
    err_ = read("stderr.txt");
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }
  std::string dir_, out_, err_;
};

TEST_F(Cli, WritesTheListToStandardOutput) {
  EXPECT_EQ(run("src.edl"), 0);
  EXPECT_EQ(out_,
            "PIONEER-DVDRec-EDL 002\r\n001 INI\r\n002 REC 00:00:10:00 00:00:20:00 STOP\r\n"
            "003 REC 00:01:00:00 00:01:30:00 STOP\r\n004 FNL\r\n");
  EXPECT_EQ(err_, "");
}

TEST_F(Cli, OptionsSetTheStartingState) {
  EXPECT_EQ(run("--no-ini --no-fnl --all-ps src.edl"), 0);
  EXPECT_EQ(out_,
            "PIONEER-DVDRec-EDL 002\r\n001 REC 00:00:10:00 00:00:20:00 PAUSE\r\n"
            "002 REC 00:01:00:00 00:01:30:00 STOP\r\n");
  // --autoch does not end "All PS" the way the check box does.
  EXPECT_EQ(run("--no-ini --no-fnl --autoch --optimize --filter 40 --namech --name-first 5 "
                "--name-last 7 --delimiter _ src.edl"),
            0);
  EXPECT_EQ(out_,
            "PIONEER-DVDRec-EDL 002\r\n001 SET R:31 F:16\r\n"
            "002 REC 00:00:10:00 00:01:30:00 STOP\r\n002 T-N AX\r\n002 C-N AX\r\n"
            "002 CHP 00:01:00:00\r\n002 C-N BX\r\n");
}

TEST_F(Cli, SettingsFileGivesTheDefaults) {
  write("ORVASettings.txt", "Initialize = NO\nFinalize = NO\n");
  EXPECT_EQ(run("--fnl src.edl"), 0);
  // Whether the settings are read depends on the settings reader; the option applies anyway.
  EXPECT_NE(out_.find(" FNL\r\n"), std::string::npos);
}

TEST_F(Cli, SavesWithTheFileNameRules) {
  EXPECT_EQ(run("src.edl shows"), 0);
  EXPECT_EQ(out_, "");
  EXPECT_EQ(read("shows.edl").substr(0, 24), "PIONEER-DVDRec-EDL 002\r\n");
  EXPECT_EQ(run("src.edl " + dir_ + "/other.edl"), 0);
  EXPECT_TRUE(fs::exists(dir_ + "/other.edl"));
}

TEST_F(Cli, ExitStatusOnBadUseAndFiles) {
  EXPECT_EQ(run(""), 2);
  EXPECT_NE(err_.find("orva-convert:"), std::string::npos);
  EXPECT_EQ(run("--bogus src.edl"), 2);
  EXPECT_EQ(run("--filter x src.edl"), 2);
  EXPECT_EQ(run("--filter"), 2);
  EXPECT_EQ(run("src.edl a b"), 2);
  EXPECT_EQ(run("src.edl abcd"), 2);  // too short an output name
  EXPECT_FALSE(fs::exists(dir_ + "/abcd.edl"));
  EXPECT_EQ(run("missing.edl"), 1);
  EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 1);
  EXPECT_EQ(run("src.edl no/such/folder/list.edl"), 1);
  EXPECT_EQ(run("--help"), 0);
  EXPECT_NE(out_.find("Usage: orva-convert"), std::string::npos);
}

// The list never replaces its source, by the same name or any other path to the same file:
// one line, nothing written, status 1.
TEST_F(Cli, NeverWritesOverItsSource) {
  const std::string source = read("src.edl");
  write("clips.edl", source);
  fs::create_directory(dir_ + "/sub");
  fs::create_symlink(dir_ + "/src.edl", dir_ + "/link.edl");
  struct Case {
    std::string source, output;
  } cases[] = {{"src.edl", "src.edl"},
               {"src.edl", "./src.edl"},
               {"clips.edl", "clips"},  // ".edl" appended
               {"src.edl", dir_ + "/sub/../src.edl"},
               {"src.edl", "link.edl"},
               {"link.edl", "src.edl"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source + " " + c.output);
    EXPECT_EQ(run(c.source + " " + c.output), 1);
    EXPECT_NE(err_.find("is the source EDL; nothing written"), std::string::npos) << err_;
    EXPECT_EQ(std::count(err_.begin(), err_.end(), '\n'), 1);
    EXPECT_EQ(read("src.edl"), source);
    EXPECT_EQ(read("clips.edl"), source);
    EXPECT_TRUE(fs::is_symlink(dir_ + "/link.edl"));
  }
}

TEST_F(Cli, WarnsOnAnEmptySourceAndRefusesOptionsBeyondTheirRange) {
  write("empty.edl", "TITLE: NOTHING\nFCM: NON-DROP FRAME\n");
  EXPECT_EQ(run("empty.edl"), 0);
  EXPECT_EQ(out_, "PIONEER-DVDRec-EDL 002\r\n001 INI\r\n002 FNL\r\n");
  EXPECT_NE(err_.find("no event lines"), std::string::npos);
  EXPECT_EQ(run("src.edl"), 0);
  EXPECT_EQ(err_, "");
  struct Case {
    const char* args;
    int status;
  } cases[] = {
      {"--name-first 1 --name-last 32 src.edl", 0},
      {"--name-first 1 --name-last 33 src.edl", 2},
      {"--name-first 5 --name-last 5 src.edl", 2},
      {"--name-last -3 src.edl", 2},
      {"--fps 25 src.edl", 0},
      {"--fps 29.97DF src.edl", 0},
      {"--fps 50 src.edl", 2},
      {"--fps", 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.args), c.status) << c.args << ": " << err_;
  }
}

}  // namespace
