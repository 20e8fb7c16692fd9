#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "deck/ScriptFile.h"
#include "deck/support/FolderDeckFixture.h"

using Seq = std::vector<std::string>;

// Each test runs in its own empty working directory, where the script file is looked up.
class ScriptTest : public FolderDeckFixture {
 protected:
  void writeScript(const std::string& bytes) {
    std::ofstream out("Script.txt", std::ios::binary);
    out << bytes;
  }
  static Seq framed(Seq body) {
    Seq out{" ", "**********", "Found Script.txt File"};
    out.insert(out.end(), body.begin(), body.end());
    out.insert(out.end(), {"Script ended", "**********", " "});
    return out;
  }
};

TEST_F(ScriptTest, MissingFileSaysSoAndWaitsOneSecond) {
  auto& v = make();
  v.script();
  EXPECT_EQ(lines(), (Seq{"No script file found!"}));
  EXPECT_EQ(log.sequence(), (Seq{"(1000 ms)"}));
  EXPECT_FALSE(v.getscriptactive());
}

TEST_F(ScriptTest, EmptyFirstLineRunsNothing) {
  auto& v = make();
  writeScript("\nPlay\n");
  v.script();
  EXPECT_EQ(lines(), framed({}));
  EXPECT_TRUE(log.sequence().empty());
  EXPECT_EQ(view.calls(), (Seq{"ShowStatus Script running"}));
}

TEST_F(ScriptTest, TheStatusLineShowsTheRunningScriptAndKeepsItsErrorUntilTheNextAction) {
  auto& v = make();
  writeScript("Play\nFowrard\nStop\n");
  v.script();
  EXPECT_EQ(view.calls(), (Seq{"ShowStatus Script running", "ShowStatus Script Error: Fowrard"}));
  link.setStatus(0x01, 0x00, 0x00);
  v.CommandStatus();  // the polled status keeps the error in front of it
  EXPECT_EQ(view.calls().back(), "ShowStatus Script Error: Fowrard  Play ");
  v.post([] {});  // the operator's next action
  v.CommandStatus();
  EXPECT_EQ(view.calls().back(), "ShowStatus Play ");
}

TEST_F(ScriptTest, PlayWaitStopRunsInOrderWhileActive) {
  auto& v = make();
  std::atomic<bool> activeDuringWait{false};
  sleeper->onSleep = [&](int) { activeDuringWait = vcr->getscriptactive(); };
  writeScript("Play\nWait5\nStop\n");
  v.script();
  EXPECT_EQ(lines(), framed({"Play", "Wait5", "Stop"}));
  EXPECT_EQ(log.sequence(), (Seq{"20 01 21", "(5000 ms)", "20 00 20"}));
  EXPECT_TRUE(activeDuringWait.load());
  EXPECT_FALSE(v.getscriptactive());
}

TEST_F(ScriptTest, CommentsAndShortLines) {
  auto& v = make();
  writeScript(";abc\n; any text at all\nPlay\n;;;\nStop\n");
  v.script();
  EXPECT_EQ(lines(), framed({";abc", "; any text at all", "Play"}));
  EXPECT_EQ(log.frames(), (Seq{"20 01 21"}));
}

// Lengths count characters, in a UTF-8 script and in a Latin-1 one (whose lines are echoed in
// UTF-8): three accented letters end the script, a comment needs four characters.
TEST_F(ScriptTest, LineLengthsCountCharactersInEitherEncoding) {
  struct Case {
    std::string bytes;
    Seq echoed;
  };
  const Case cases[] = {
      {"Stop\n\u00e9\u00e9\u00e9\nPlay\n", {"Stop"}},
      {"Stop\n;\u00e9\u00e9\nPlay\n", {"Stop"}},
      {"Stop\n;\u00e9\u00e9\u00e9\nPlay\n", {"Stop", ";\u00e9\u00e9\u00e9", "Play"}},
      {"Stop\n\xE9\xE9\xE9\nPlay\n", {"Stop"}},
      {"Stop\n;\xE9\xE9\xE9\nPlay\n", {"Stop", ";\u00e9\u00e9\u00e9", "Play"}},
  };
  auto& v = make();
  Seq expected;
  for (const Case& c : cases) {
    writeScript(c.bytes);
    v.script();
    const Seq run = framed(c.echoed);
    expected.insert(expected.end(), run.begin(), run.end());
  }
  EXPECT_EQ(lines(), expected);
  EXPECT_EQ(log.frames(), (Seq{"20 00 20", "20 00 20", "20 00 20", "20 01 21", "20 00 20",
                               "20 00 20", "20 01 21"}));
}

TEST_F(ScriptTest, UnknownLineStopsTheScript) {
  auto& v = make();
  Seq expected;
  for (const char* bad : {" Play", "quit", "Play "}) {
    writeScript(std::string("Stop\n") + bad + "\nPlay\n");
    v.script();
    const Seq run = framed({"Stop", bad, "Script Error"});
    expected.insert(expected.end(), run.begin(), run.end());
  }
  EXPECT_EQ(lines(), expected);
  EXPECT_EQ(log.frames(), (Seq{"20 00 20", "20 00 20", "20 00 20"}));
}

TEST_F(ScriptTest, QuitEndsTheScript) {
  auto& v = make();
  writeScript("Play\nQuit\nStop\n");
  v.script();
  EXPECT_EQ(lines(), framed({"Play"}));
  EXPECT_EQ(log.frames(), (Seq{"20 01 21"}));
}

TEST_F(ScriptTest, JogOnTheLx1IsAScriptError) {
  auto& v = make(Kind::Lx1);
  writeScript("JogF\n");
  v.script();
  EXPECT_EQ(lines(), framed({"JogF", "Script Error"}));
  EXPECT_TRUE(log.frames().empty());
}

TEST_F(ScriptTest, EveryLineEndCountsAndTheLastLineNeedsNone) {
  auto& v = make();
  writeScript("Play\rStop\r\nForward\nRewind");
  v.script();
  EXPECT_EQ(lines(), framed({"Play", "Stop", "Forward", "Rewind"}));
  EXPECT_EQ(log.frames(), (Seq{"20 01 21", "20 00 20", "20 10 30", "20 20 40"}));
}

TEST_F(ScriptTest, AFailingCommandEndsTheScriptAndIsReportedOnce) {
  auto& v = make();
  writeScript("Play\nWait 5\nStop\n");
  v.script();
  Seq expected = framed({"Play", "Wait 5"});
  expected.push_back("Script stopped: Wait needs a whole number of seconds, got \" 5\"");
  EXPECT_EQ(lines(), expected);
  EXPECT_EQ(log.frames(), (Seq{"20 01 21"}));
  EXPECT_FALSE(v.getscriptactive());
}

TEST_F(ScriptTest, MalformedCueFieldEndsTheScript) {
  auto& v = make();
  writeScript("tc1xx:00:00:00\nCueIn\nPlay\n");
  v.script();
  ASSERT_EQ(lines().size(), 9u);
  EXPECT_EQ(lines()[8].rfind("Script stopped: Cue point \"xx:00:00:00\"", 0), 0u);
  EXPECT_TRUE(log.frames().empty());
  EXPECT_FALSE(v.getscriptactive());
}

TEST_F(ScriptTest, CloseEndsARunningScript) {
  auto& v = make();
  sleeper->realCapMs = 600000;
  writeScript("Wait600\nPlay\n");
  v.post([&] { v.script(); });
  ASSERT_TRUE(log.waitForEntry("(600000 ms)"));
  v.close();
  EXPECT_TRUE(log.frames().empty());
  EXPECT_EQ(lines().back(), " ");
  EXPECT_FALSE(v.getscriptactive());
}

TEST(ScriptFile, AByteOrderMarkIsNoPartOfTheFirstWord) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("orva-bom-script-" + std::to_string(::getpid()) + ".txt"))
                               .string();
  std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBFPlay\r\nStop\r\n";
  ScriptFile file(path);
  EXPECT_EQ(file.next(), "Play");
  EXPECT_EQ(file.next(), "Stop");
  std::filesystem::remove(path);
}

TEST(ScriptFile, MissingFileHasNoLines) {
  ScriptFile file("/nonexistent/Script.txt");
  EXPECT_FALSE(file.isOpen());
  EXPECT_FALSE(file.next());
}
