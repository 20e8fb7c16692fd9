#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>

#include "app/ControllerApp.h"
#include "app/support/TempDir.h"
#include "serial/port/PortName.h"

namespace {

// A complete settings file as an operator would keep it.
const char* const kFullFile =
    "# ORVA settings\r\n"
    "COMPort = /dev/ttyUSB0\r\n"
    "UserNote = Suite 3\r\n"
    "Verbose = YES\r\n"
    "UseClipboard = yes\r\n"
    "StopOnExit = NO\r\n"
    "VCRType = ZARIX\r\n"
    "Finalize = NO\r\n"
    "Initialize = no\r\n"
    "RECMode = PAUSE\r\n"
    "AutoChapter = YES\r\n"
    "NameChapters = Yes\r\n"
    "FirstNameColumn = 3\r\n"
    "LastNameColumn = 12\r\n"
    "NameDelimiter = _\r\n"
    "Optimize = YES\r\n"
    "Filter = 05\r\n";

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { ControllerApp::resetDefaults(); }
  void TearDown() override { ControllerApp::resetDefaults(); }

  // Reads a settings file with the given text; answers what the reader printed.
  std::string load(const std::string& text) {
    std::ostringstream log;
    EXPECT_TRUE(ControllerApp::GetPropsFrom(dir.write("ORVASettings.txt", text), log));
    return log.str();
  }

  // Reads a file holding the given lines after a complete file, as the operator would edit it.
  std::string loadWith(const std::string& lines) { return load(std::string(kFullFile) + lines); }

  static std::string report() {
    std::ostringstream out;
    ControllerApp::showprops(out);
    return out.str();
  }

  TempDir dir;
};

using App = ControllerApp;

}  // namespace

TEST_F(SettingsTest, CompleteFileSetsEveryValue) {
  EXPECT_EQ(load(kFullFile), "");
  EXPECT_EQ(App::comport1, "/dev/ttyUSB0");
  EXPECT_EQ(App::note, "Suite 3");
  EXPECT_TRUE(App::getverbose());
  EXPECT_TRUE(App::getuseclipboard());
  EXPECT_FALSE(App::getstoponexit());
  EXPECT_TRUE(App::getzarix());
  EXPECT_FALSE(App::getlx1());
  EXPECT_FALSE(App::getlanc());
  EXPECT_FALSE(App::getfinalize());
  EXPECT_FALSE(App::getinitialize());
  EXPECT_TRUE(App::getonetitle());
  EXPECT_TRUE(App::getautochapter());
  EXPECT_TRUE(App::getnamechapters());
  EXPECT_EQ(App::getnamefirst(), 3);
  EXPECT_EQ(App::getnamelast(), 12);
  EXPECT_EQ(App::getnamedelimiter(), "_");
  EXPECT_TRUE(App::getoptimize());
  EXPECT_EQ(App::FilterString, "05");  // inside the range: as written
  EXPECT_EQ(App::getoptifilter(), "F:05");
}

TEST_F(SettingsTest, MissingFileChangesNothingAndPrintsNothing) {
  App::comport1 = "COM9";
  std::ostringstream log;
  EXPECT_FALSE(App::GetPropsFrom(dir.path("ORVASettings.txt"), log));
  EXPECT_EQ(log.str(), "");
  EXPECT_EQ(App::comport1, "COM9");
}

TEST_F(SettingsTest, UnreadableFileKeepsAllDefaultsAndSaysSo) {
  std::filesystem::create_directory(dir.path("ORVASettings.txt"));
  App::comport1 = "left over";
  std::ostringstream log;
  EXPECT_TRUE(App::GetPropsFrom(dir.path("ORVASettings.txt"), log));
  EXPECT_EQ(log.str().rfind("Settings File Problem\n", 0), 0u) << log.str();
  EXPECT_TRUE(App::getlx1());
  EXPECT_TRUE(App::getstoponexit());
  EXPECT_EQ(report(),
            " \n"
            "COM Port         = COM1\n"
            "VCR Type         = LX1\n"
            "User Note        = \n"
            "Use Clipboard    = null\n"
            "Stop On Exit     = null\n"
            "Verbose          = null\n"
            " \n"
            "EDL Conversion Settings:\n"
            "Initialize Disk  = YES\n"
            "Finalize Disk    = YES\n"
            "Record Mode      = Title\n"
            "AutoChapter      = NO\n"
            "NameChapters     = NO\n"
            "FirstNameColumn  = 1\n"
            "LastNameColumn   = 10\n"
            "NameDelimiter    = .\n"
            "Optimize         = NO\n"
            "Filter           = 2\n"
            " \n");
}

TEST_F(SettingsTest, MissingKeysKeepTheirDefaults) {
  App::comport1 = "left over";  // from an earlier reading: every reading starts from defaults
  EXPECT_EQ(load("VCRType = lanc\n"), "");
  EXPECT_EQ(App::comport1, "COM1");
  EXPECT_FALSE(App::verbo.has_value());
  EXPECT_FALSE(App::StopOnExit.has_value());
  EXPECT_TRUE(App::getstoponexit());
  EXPECT_TRUE(App::getlanc());
  EXPECT_TRUE(App::getfinalize());
  EXPECT_EQ(App::automodestring, "Title");
  EXPECT_EQ(App::getoptifilter(), "F:2");
  EXPECT_EQ(App::getnamefirst(), 1);
  EXPECT_EQ(App::getnamelast(), 10);
  EXPECT_EQ(App::getnamedelimiter(), ".");

  // Without a VCRType the default LX1 stays, with its flag.
  load("COMPort = COM2\n");
  EXPECT_TRUE(App::getlx1());
  EXPECT_EQ(App::VCRType, "LX1");
}

TEST_F(SettingsTest, FilterIsClampedToOneToSixteen) {
  struct Case {
    const char* value;
    const char* filterString;
  };
  for (const Case& c : {Case{"40", "16"}, Case{"17", "16"}, Case{"16", "16"}, Case{"1", "1"},
                        Case{"0", "1"}, Case{"-3", "1"}, Case{"7 ", "7"},
                        Case{"99999999999999999999", "16"}, Case{"-99999999999", "1"}}) {
    EXPECT_EQ(loadWith(std::string("Filter = ") + c.value + "\n"), "") << c.value;
    EXPECT_EQ(App::FilterString, c.filterString) << c.value;
    EXPECT_EQ(App::getoptifilter(), std::string("F:") + c.filterString) << c.value;
  }
}

TEST_F(SettingsTest, NameColumnsFollowTheirRules) {
  struct Case {
    const char *first, *last;
    int namefirst, namelast;
  };
  for (const Case& c :
       {Case{"-4", "2", 0, 2}, Case{"5", "5", 5, 6}, Case{"1", "80", 1, 32}, Case{"9", "3", 9, 10},
        Case{"2147483647", "2147483647", 2147483646, 2147483647}, Case{"0", "-2147483648", 0, 1},
        Case{"99999999999", "1", 2147483646, 2147483647}}) {
    loadWith(std::string("FirstNameColumn = ") + c.first + "\nLastNameColumn = " + c.last + "\n");
    EXPECT_EQ(App::getnamefirst(), c.namefirst) << c.first << " " << c.last;
    EXPECT_EQ(App::getnamelast(), c.namelast) << c.first << " " << c.last;
    EXPECT_EQ(App::NFString, c.first);  // the raw texts keep what the file says
    EXPECT_EQ(App::NLString, c.last);
  }
}

TEST_F(SettingsTest, NonNumericValueKeepsItsDefaultAndTheRestStillApplies) {
  const std::string log = loadWith("Filter = high\nFirstNameColumn = x1\n");
  EXPECT_EQ(log.rfind("Settings File Problem\n", 0), 0u) << log;
  EXPECT_NE(log.find("Filter = \"high\""), std::string::npos) << log;
  EXPECT_NE(log.find("FirstNameColumn = \"x1\""), std::string::npos) << log;
  EXPECT_EQ(App::FilterString, "2");
  EXPECT_EQ(App::getoptifilter(), "F:2");
  EXPECT_EQ(App::NFString, "1");
  EXPECT_EQ(App::getnamefirst(), 1);
  EXPECT_EQ(App::getnamelast(), 12);  // the file's LastNameColumn still counts
  EXPECT_TRUE(App::getoptimize());    // and so does everything after the bad line
  EXPECT_EQ(App::comport1, "/dev/ttyUSB0");

  loadWith("LastNameColumn = \nFirstNameColumn = 30\n");
  EXPECT_EQ(App::getnamefirst(), 30);
  EXPECT_EQ(App::getnamelast(), 31);  // default 10 raised to one above the first column
  EXPECT_EQ(App::NLString, "10");
}

TEST_F(SettingsTest, TextsAreCutToTheirLength) {
  loadWith("UserNote = 12345678901234567890\nNameDelimiter = -+\n");
  EXPECT_EQ(App::note, "123456789012");
  EXPECT_EQ(App::getnamedelimiter(), "-");
  // Characters, not bytes: the file's ISO 8859-1 letters are one character each.
  loadWith(
      "UserNote = \xE9t\xE9 \xE0 Montr\xE9"
      "al!\nNameDelimiter = \xA7x\n");
  EXPECT_EQ(App::note, "\xC3\xA9t\xC3\xA9 \xC3\xA0 Montr\xC3\xA9");
  EXPECT_EQ(App::getnamedelimiter(), "\xC2\xA7");
  loadWith("NameDelimiter =\n");
  EXPECT_EQ(App::getnamedelimiter(), "");
}

TEST_F(SettingsTest, DeckTypeFlags) {
  struct Case {
    const char* type;
    bool lx1, zarix, lanc;
  };
  for (const Case& c : {Case{"LX1", true, false, false}, Case{"lx1", true, false, false},
                        Case{"ZARIX", false, true, false}, Case{"Zarix", false, true, false},
                        Case{"lanc", false, false, true}, Case{"LANC", false, false, true},
                        Case{"RS422", false, false, false}, Case{"LANC ", false, false, false},
                        Case{"", false, false, false}}) {
    loadWith(std::string("VCRType = ") + c.type + "\n");
    EXPECT_EQ(App::getlx1(), c.lx1) << c.type;
    EXPECT_EQ(App::getzarix(), c.zarix) << c.type;
    EXPECT_EQ(App::getlanc(), c.lanc) << c.type;
  }
}

TEST_F(SettingsTest, KeywordsIgnoreCaseButNotTrailingBlanks) {
  load("Verbose = yes  \nRECMode = Pause\nAutoChapter = YES \nOptimize = yEs\n");
  EXPECT_FALSE(App::getverbose());
  EXPECT_EQ(App::verbo, "yes  ");
  EXPECT_TRUE(App::getonetitle());
  EXPECT_FALSE(App::getautochapter());
  EXPECT_TRUE(App::getoptimize());
  load("RECMode = Title\n");
  EXPECT_FALSE(App::getonetitle());
}

TEST_F(SettingsTest, OnOffValuesChangeOnlyOnTheirKeyword) {
  struct Case {
    const char* value;
    bool stoponexit, finalize, useclipboard;
  };
  for (const Case& c : {Case{"no", false, false, false}, Case{"NO", false, false, false},
                        Case{"YES", true, true, true}, Case{"maybe", true, true, false},
                        Case{"NO ", true, true, false}, Case{"", true, true, false}}) {
    const std::string v = c.value;
    load("StopOnExit = " + v + "\nFinalize = " + v + "\nUseClipboard = " + v + "\n");
    EXPECT_EQ(App::getstoponexit(), c.stoponexit) << v;
    EXPECT_EQ(App::getfinalize(), c.finalize) << v;
    EXPECT_EQ(App::getuseclipboard(), c.useclipboard) << v;
    EXPECT_EQ(App::finalizestring, v);
  }
}

TEST_F(SettingsTest, MalformedEscapeIsReportedAndItsLineStillCounts) {
  // A Windows path is the usual way to write a broken \u escape.
  const std::string log = load("UserNote = C:\\users\r\nVCRType = LANC\r\n");
  EXPECT_EQ(log.rfind("Settings File Problem\n", 0), 0u) << log;
  EXPECT_NE(log.find("line 1"), std::string::npos) << log;
  EXPECT_EQ(App::note, "C:users");
  EXPECT_TRUE(App::getlanc());
}

TEST_F(SettingsTest, ReportShowsTheRawTextsAndTheZarixLines) {
  load(kFullFile);
  EXPECT_EQ(report(),
            " \n"
            "COM Port         = /dev/ttyUSB0\n"
            "VCR Type         = ZARIX\n"
            "User Note        = Suite 3\n"
            "Use Clipboard    = yes\n"
            "Stop On Exit     = NO\n"
            "Verbose          = YES\n"
            "Compression      = 4\n"
            "VideoMode        = NTSC\n"
            "VideoType        = COMP\n"
            "LoopRecMode      = NO\n"
            "LoopPlayMode     = NO\n"
            " \n"
            "EDL Conversion Settings:\n"
            "Initialize Disk  = no\n"
            "Finalize Disk    = NO\n"
            "Record Mode      = PAUSE\n"
            "AutoChapter      = YES\n"
            "NameChapters     = Yes\n"
            "FirstNameColumn  = 3\n"
            "LastNameColumn   = 12\n"
            "NameDelimiter    = _\n"
            "Optimize         = YES\n"
            "Filter           = 05\n"
            " \n");
  loadWith("VCRType = LX1\nFilter = 40\nFirstNameColumn = -4\n");
  const std::string r = report();
  EXPECT_EQ(r.find("Compression"), std::string::npos);
  EXPECT_NE(r.find("\nFilter           = 16\n"), std::string::npos);
  EXPECT_NE(r.find("\nFirstNameColumn  = -4\n"), std::string::npos);
}

// FrameRate: 30 when absent, the report line only when it is not 30, and an unknown value
// falls back to 30 with one line saying so.
TEST_F(SettingsTest, FrameRateChoosesTheRateAndReportsOnlyAChange) {
  using Kind = TimecodeRate::Kind;
  struct Case {
    const char* line;
    Kind kind;
    const char* reportLine;  // "" when the report has none
    int logLines;
  } cases[] = {
      {"", Kind::Fps30, "", 0},
      {"FrameRate = 30\n", Kind::Fps30, "", 0},
      {"FrameRate = 25\n", Kind::Fps25, "Frame Rate       = 25\n", 0},
      {"FrameRate = 24 \n", Kind::Fps24, "Frame Rate       = 24\n", 0},
      {"FrameRate = 29.97DF\n", Kind::Fps2997Df, "Frame Rate       = 29.97DF\n", 0},
      {"FrameRate = 29.97df\n", Kind::Fps2997Df, "Frame Rate       = 29.97DF\n", 0},
      {"FrameRate = 29.97\n", Kind::Fps30, "", 1},
      {"FrameRate = PAL\n", Kind::Fps30, "", 1},
  };
  load(kFullFile);
  const std::string plain = report();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const std::string log = loadWith(c.line);
    EXPECT_EQ(App::getframerate().kind(), c.kind);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), c.logLines) << log;
    if (c.logLines > 0) {
      EXPECT_NE(log.find("30 is used"), std::string::npos) << log;
    }
    std::string expected = plain;
    expected.insert(expected.find("Compression"), c.reportLine);
    EXPECT_EQ(report(), expected);
  }
}

// VideoFormat: the protocol's tokens exactly as written; without the key, or with a token the
// protocol does not have (one log line), the format follows FrameRate and the report is silent.
TEST_F(SettingsTest, VideoFormatIsATokenOrFollowsTheFrameRate) {
  struct Case {
    const char* lines;
    const char* format;
    bool reported;
    int logLines;
  } cases[] = {
      {"", "NTSC", false, 0},
      {"FrameRate = 25\n", "PAL", false, 0},
      {"FrameRate = 24\n", "1080p24", false, 0},
      {"FrameRate = 29.97DF\n", "NTSC", false, 0},
      {"FrameRate = 25\nVideoFormat = 1080i50 \n", "1080i50", true, 0},
      {"VideoFormat = 4Kp25\n", "4Kp25", true, 0},
      {"FrameRate = 25\nVideoFormat = 1080I50\n", "PAL", false, 1},
      {"VideoFormat = SECAM\n", "NTSC", false, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines);
    const std::string log = loadWith(c.lines);
    EXPECT_EQ(App::getvideoformat(), c.format);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), c.logLines) << log;
    EXPECT_EQ(
        report().find("Video Format     = " + std::string(c.format) + "\n") != std::string::npos,
        c.reported);
  }
}

// StopLatency: learned when absent; 0 to 10 fixes it and is reported; anything else is named in
// one line and left to learning.
TEST_F(SettingsTest, StopLatencyFixesTheFramesOrLeavesThemToBeLearned) {
  struct Case {
    const char* line;
    std::optional<int> frames;
    int logLines;
  } cases[] = {
      {"", std::nullopt, 0},
      {"StopLatency = 0\n", 0, 0},
      {"StopLatency = 10 \n", 10, 0},
      {"StopLatency = 11\n", std::nullopt, 1},
      {"StopLatency = -1\n", std::nullopt, 1},
      {"StopLatency = 1.5\n", std::nullopt, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const std::string log = loadWith(c.line);
    EXPECT_EQ(App::getstoplatency(), c.frames);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), c.logLines) << log;
    EXPECT_EQ(report().find("Stop Latency     = " + std::to_string(c.frames.value_or(0)) + "\n") !=
                  std::string::npos,
              c.frames.has_value());
  }
}

// Slips an operator cannot see: blanks after the port name, a key in the wrong letter case,
// a byte-order mark in front of the first key.
TEST_F(SettingsTest, TypingSlipsAreMendedOrNamed) {
  std::string log = load(
      "\xEF\xBB\xBF"
      "COMPort = SIM  \t\nVCRType = LANC\n");
  EXPECT_EQ(App::comport1, "SIM");
  EXPECT_TRUE(App::getlanc());
  EXPECT_EQ(log, "");
  log = load("comport = /dev/ttyS3\nVCRTYPE = LANC\nUserNote = x\nNoSuchKey = 1\n");
  EXPECT_EQ(App::comport1, "COM1");  // keys stay case-sensitive
  EXPECT_FALSE(App::getlanc());
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
  EXPECT_NE(log.find("\"comport\""), std::string::npos) << log;
  EXPECT_NE(log.find("known key is COMPort\n"), std::string::npos) << log;
  EXPECT_NE(log.find("known key is VCRType\n"), std::string::npos) << log;
}

// Notepad saves UTF-8 with a byte-order mark: the mark names the encoding, so accents stay
// whole (and a 12-character note is cut after its twelfth character, not its twelfth byte).
// Without the mark the bytes are ISO 8859-1, as always.
TEST_F(SettingsTest, ByteOrderMarkMeansUtf8) {
  const std::string regie = "R\xC3\xA9gie";  // Régie in UTF-8
  struct Case {
    std::string file;
    std::string note;
    std::string delimiter;
  };
  const Case cases[] = {
      {"\xEF\xBB\xBFUserNote = " + regie + "\r\nNameDelimiter = \xC2\xB7\r\n", regie, "\xC2\xB7"},
      {"\xEF\xBB\xBFUserNote = \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
       "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\n",
       "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
       "\xC3\xA9",
       "."},
      // A byte that starts no UTF-8 sequence is still kept, as its ISO 8859-1 character.
      {"\xEF\xBB\xBFUserNote = R\xE9gie\n", regie, "."},
      {"UserNote = " + regie + "\n", "R\xC3\x83\xC2\xA9gie", "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    EXPECT_EQ(load(c.file), "");
    EXPECT_EQ(App::note, c.note);
    EXPECT_EQ(App::namedelimiter, c.delimiter);
  }
}

// Every form Windows documents for a port names the same port: the device path keeps its
// backslashes (the file's escapes would make \\.\COM21 into \.COM21).
TEST_F(SettingsTest, PortNamesInEveryWindowsForm) {
  const struct {
    const char* line;
    const char* port;
    int number;
  } cases[] = {
      {"COMPort = COM21\n", "COM21", 21},
      {"COMPort = \\\\.\\COM21 \n", "\\\\.\\COM21", 21},
      {"COMPort = \\\\.\\com3\n", "\\\\.\\com3", 3},
      {"COMPort = COM21:\n", "COM21:", 21},
      {"COMPort = \\\\\\\\.\\\\COM4\n", "\\\\.\\COM4", 4},  // the same path, escaped
      {"COMPort = \\\\.\\CNCA0\n", "\\\\.\\CNCA0", 0},      // a device of another name
      {"COMPort = /dev/ttyUSB0\n", "/dev/ttyUSB0", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(load(c.line), "");
    EXPECT_EQ(App::comport1, c.port);
    EXPECT_EQ(PortName::comNumber(App::comport1), c.number);
  }
}
