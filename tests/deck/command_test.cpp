#include <gtest/gtest.h>

#include <stdexcept>

#include "deck/support/DeckFixture.h"

using Seq = std::vector<std::string>;

class CommandTest : public DeckFixture {};

TEST_F(CommandTest, WholeWordsRunTheirOperation) {
  auto& v = make(Kind::Tape);
  const std::pair<const char*, const char*> words[] = {
      {"Play", "20 01 21"},     {"Pause", "21 13 00 34"}, {"Stop", "20 00 20"},
      {"Forward", "20 10 30"},  {"Rewind", "20 20 40"},   {"Record", "20 02 22"},
      {"JogF", "21 11 10 42"},  {"JogR", "21 21 10 52"},  {"Fast2", "21 13 4A 7E"},
      {"Fast5", "21 13 82 B6"}, {"Slow5", "21 12 2D 60"}, {"Slow3", "21 12 30 63"},
      {"Slow2", "21 12 36 69"}, {"EEOn", "20 61 81"},     {"EEOff", "20 60 80"},
      {"SbyOn", "20 05 25"},    {"SbyOff", "20 04 24"},
  };
  for (const auto& [word, frame] : words) {
    ASSERT_TRUE(v.ParseNetCommand(word)) << word;
    EXPECT_EQ(log.frames().back(), frame) << word;
  }
  EXPECT_EQ(log.frames().size(), std::size(words));
}

TEST_F(CommandTest, Lx1DoesNotKnowTheTapeWords) {
  auto& v = make(Kind::Lx1);
  for (const char* word : {"JogF", "JogR", "Fast2", "Fast5", "Slow5", "Slow3", "Slow2", "EEOn",
                           "EEOff", "SbyOn", "SbyOff"}) {
    EXPECT_FALSE(v.ParseNetCommand(word)) << word;
  }
  EXPECT_TRUE(log.frames().empty());
  EXPECT_TRUE(v.ParseNetCommand("Play"));
}

TEST_F(CommandTest, WordsMatchExactly) {
  auto& v = make();
  for (const char* line :
       {"play", "Play ", "Play\r", " Play", "PlayX", "Quit", "GetTc", "", "Pl", "tc1"}) {
    EXPECT_FALSE(v.ParseNetCommand(line)) << '"' << line << '"';
  }
  EXPECT_TRUE(log.frames().empty());
}

TEST_F(CommandTest, GetTCAndStatusAreKnownAndDoNothing) {
  auto& v = make();
  EXPECT_TRUE(v.ParseNetCommand("GetTC"));
  EXPECT_TRUE(v.ParseNetCommand("Status"));
  EXPECT_TRUE(log.all().empty());
}

TEST_F(CommandTest, WaitTakesWholeSeconds) {
  auto& v = make();
  EXPECT_TRUE(v.ParseNetCommand("Wait5"));
  EXPECT_TRUE(v.ParseNetCommand("Wait0"));
  EXPECT_TRUE(v.ParseNetCommand("Wait-3"));
  EXPECT_TRUE(v.ParseNetCommand("Wait2147483647"));
  // The longest wait is made of sleeps that each fit an int.
  const auto seq = log.sequence();
  ASSERT_EQ(seq.size(), 2149u);
  EXPECT_EQ(seq[0], "(5000 ms)");
  EXPECT_EQ(log.count("(1000000000 ms)"), 2147);
  EXPECT_EQ(seq.back(), "(483647000 ms)");
}

TEST_F(CommandTest, MalformedWaitThrowsAndRunsNothing) {
  auto& v = make();
  for (const char* line : {"Wait", "Wait 5", "Wait5.5", "Wait5 ", "Wait+5", "Wait-", "Waiting",
                           "Wait2147483648", "Wait99999999999999999999"}) {
    EXPECT_THROW(v.ParseNetCommand(line), std::invalid_argument) << line;
  }
  EXPECT_TRUE(log.all().empty());
}

TEST_F(CommandTest, Tc1AndTc2SetTheFieldsUnchecked) {
  auto& v = make();
  EXPECT_TRUE(v.ParseNetCommand("tc101:02:03:04"));
  EXPECT_TRUE(v.ParseNetCommand("tc2abcdefghij"));
  EXPECT_EQ(v.cueText(), "01:02:03:04");
  EXPECT_EQ(v.endText(), "abcdefghij");
  EXPECT_EQ(view.calls(), (Seq{"cue 01:02:03:04", "end abcdefghij"}));
  // The out point is checked when it is used.
  EXPECT_THROW(v.ParseNetCommand("Review"), std::invalid_argument);
}

TEST_F(CommandTest, SetInAndSetOutCopyTheTimecode) {
  auto& v = make();
  link.setTimecode("00:10:00:00");
  v.CommandB8();
  EXPECT_TRUE(v.ParseNetCommand("SetIn"));
  EXPECT_TRUE(v.ParseNetCommand("SetOut"));
  EXPECT_EQ(v.cueText(), "00:10:00:00");
  EXPECT_EQ(v.endText(), "00:10:00:00");
  EXPECT_EQ(v.getcueframe()[4], 0x10);
}

TEST_F(CommandTest, CueWordsStartCues) {
  auto& v = make();
  sleeper->limitCapMs = 0;
  v.ParseNetCommand("tc100:00:01:00");
  v.ParseNetCommand("tc200:00:02:00");
  EXPECT_TRUE(v.ParseNetCommand("CueIn"));
  ASSERT_TRUE(log.waitForEntry("view unlock"));
  EXPECT_TRUE(v.ParseNetCommand("CueOut"));
  ASSERT_TRUE(log.waitForEntry("view unlock", 2));
  EXPECT_TRUE(v.ParseNetCommand("CuePlay"));
  ASSERT_TRUE(log.waitForEntry("view unlock", 3));
  EXPECT_EQ(log.frames(), (Seq{"24 31 00 01 00 00 56", "21 13 00 34", "24 31 00 02 00 00 57",
                               "21 13 00 34", "24 31 00 01 00 00 56", "21 13 00 34", "20 01 21"}));
}

TEST_F(CommandTest, RecordTwiceFlipsMovingTwice) {
  auto& v = make();
  v.ParseNetCommand("Record");
  EXPECT_EQ(v.getmoving(), 1);
  v.ParseNetCommand("Record");
  EXPECT_EQ(v.getmoving(), 0);
}

TEST_F(CommandTest, NegativeWaitReturnsAtOnceAndCloseEndsALongWait) {
  auto& v = make();
  sleeper->realCapMs = 600000;
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(v.ParseNetCommand("Wait-100"));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  std::atomic<bool> done{false};
  std::thread waiter([&] {
    v.ParseNetCommand("Wait3600");
    done = true;
  });
  ASSERT_TRUE(log.waitForEntry("(3600000 ms)"));
  v.close();
  waiter.join();
  EXPECT_TRUE(done.load());
}

TEST_F(CommandTest, RunNetCommandTellsWhatBecameOfTheLine) {
  using R = LocalVCR::NetOutcome::Result;
  auto& v = make();
  struct Case {
    const char* line;
    R result;
    const char* reasonHas;
  };
  const Case cases[] = {
      {"Play", R::Ran, ""},
      {"tc1xx:00:00:00", R::Ran, ""},
      {"CueIn", R::Failed, "Cue point \"xx:00:00:00\""},
      {"Wait 5", R::Failed, "Wait needs a whole number"},
      {"Wait2147483648", R::Failed, "out of range"},
      {"play", R::Unknown, ""},
      {"Go", R::Unknown, ""},
  };
  for (const Case& c : cases) {
    const auto outcome = v.RunNetCommand(c.line);
    EXPECT_EQ(outcome.result, c.result) << c.line;
    EXPECT_NE(outcome.reason.find(c.reasonHas), std::string::npos)
        << c.line << ": " << outcome.reason;
    EXPECT_EQ(outcome.command == nullptr, c.result == R::Unknown) << c.line;
  }
  // Only Play reached the deck; the failed lines sent nothing.
  EXPECT_EQ(log.frames(), (Seq{"20 01 21"}));
}

TEST(CommandTableTest, WordsAndButtonsNameOneEntryEach) {
  // Every word the language has, and every action command of the window, finds its own entry;
  // the tape words are unknown on the LX1 while its jog buttons stay.
  for (const DeckCommand& c : CommandTable::all()) {
    if (c.match == WordMatch::Whole) {
      EXPECT_EQ(CommandTable::forLine(c.word, false), &c) << c.word;
      EXPECT_EQ(CommandTable::forLine(c.word, true) == &c, c.wordDecks == DeckKinds::All) << c.word;
    }
    if (!c.button.empty()) {
      EXPECT_EQ(CommandTable::forButton(c.button), &c) << c.button;
    }
    EXPECT_TRUE(c.match != WordMatch::None || !c.button.empty());
  }
  EXPECT_EQ(CommandTable::forButton("Jogf")->wordDecks, DeckKinds::NotLx1);
  EXPECT_EQ(CommandTable::forButton("Jogf")->buttonDecks, DeckKinds::All);
  EXPECT_EQ(CommandTable::forLine("Wait5", true)->kind, CommandClass::Run);
  EXPECT_EQ(CommandTable::forLine("tc2x", false)->word, "tc2");
  EXPECT_EQ(CommandTable::forButton("Sbyon")->word, "SbyOn");
}
