// The controller over the real command link against the deck emulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <thread>

#include "app/ControllerApp.h"
#include "deck/BcdTimecode.h"
#include "deck/ConditionSleeper.h"
#include "deck/LocalVCR.h"
#include "deck/support/EventLog.h"
#include "deck/support/FakeView.h"
#include "serial/SerOutPort.h"
#include "sim/DeckSimChild.h"
#include "sim/FrameRate.h"

namespace {

using Line = DeckSimChild::Line;

std::string deckSimPath() {
  return std::string(ORVA_BINARY_DIR) + "/sim/orva-decksim";
}

bool eventually(const std::function<bool()>& pred, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::optional<int> framesOfReply(const std::string& hex, TimecodeRate rate = {}) {
  std::istringstream in(hex);
  std::vector<std::uint8_t> b;
  unsigned v;
  while (in >> std::hex >> v) {
    b.push_back(static_cast<std::uint8_t>(v));
  }
  if (b.size() != 7 || b[0] != 0x74) {
    return std::nullopt;
  }
  auto d = BcdTimecode::decode(&b[2], rate);
  return d ? std::optional<int>(d->frames) : std::nullopt;
}

int countIn(const std::vector<Line>& lines, const std::string& hex) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                        [&](const Line& l) { return l.in && l.hex == hex; }));
}

// Median time between successive timecode requests, in ms.
double medianPollMs(const std::vector<Line>& lines) {
  std::vector<std::int64_t> at;
  for (const auto& l : lines) {
    if (l.in && l.hex == "61 0C 03 70") {
      at.push_back(l.us);
    }
  }
  std::vector<double> gaps;
  for (std::size_t i = 1; i < at.size(); ++i) {
    gaps.push_back((at[i] - at[i - 1]) / 1000.0);
  }
  if (gaps.empty()) {
    return 0;
  }
  std::sort(gaps.begin(), gaps.end());
  return gaps[gaps.size() / 2];
}

class DeckSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(deckSimPath())) {
      GTEST_SKIP() << "orva-decksim not built (" << deckSimPath()
                   << "); build the orva-decksim target to run these tests";
    }
  }
  void TearDown() override {
    if (vcr) {
      vcr->close();
    }
    vcr.reset();
    link.reset();
    sim.reset();
    if (!transcript_.empty()) {
      std::error_code ec;
      std::filesystem::remove(transcript_, ec);
    }
    ControllerApp::resetDefaults();
  }

  // Starts the emulator and a controller of the given kind on it; `extra` goes to the emulator,
  // and the controller opens `port` when it is given (a --link path), else the terminal.
  bool open(const std::string& deck, std::vector<std::string> extra = {},
            const std::string& port = "") {
    ControllerApp::resetDefaults();
    ControllerApp::lx1 = deck == "lx1";
    ControllerApp::zarix = deck == "zarix";
    ControllerApp::lanc = deck == "lanc";
    ControllerApp::stoponexit = false;
    const std::string transcript =
        (std::filesystem::temp_directory_path() /
         ("orva-deck-transcript-" + std::to_string(::getpid()) + "-" + deck + ".txt"))
            .string();
    transcript_ = transcript;
    extra.insert(extra.begin(), {"--deck", deck});
    sim = std::make_unique<DeckSimChild>(deckSimPath(), transcript, extra);
    if (!sim->ok()) {
      ADD_FAILURE() << sim->error();
      return false;
    }
    link = std::make_unique<SerOutPort>(port.empty() ? sim->slavePath() : port);
    if (link->isBad()) {
      ADD_FAILURE() << "cannot open " << sim->slavePath();
      return false;
    }
    link->setwait(9);
    vcr = std::make_unique<LocalVCR>(*link, ControllerApp::lanc, view);
    vcr->setLineSink([this](const std::string& line) {
      std::lock_guard lock(linesMutex);
      lines.push_back(line);
    });
    return true;
  }
  bool printed(const std::string& line) {
    std::lock_guard lock(linesMutex);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  EventLog log;
  FakeView view{log};
  std::unique_ptr<DeckSimChild> sim;
  std::string transcript_;
  std::unique_ptr<SerOutPort> link;
  std::unique_ptr<LocalVCR> vcr;
  std::mutex linesMutex;
  std::vector<std::string> lines;
};

TEST_F(DeckSimTest, TimeModeFirstThenTapeDeckPollCadence) {
  ASSERT_TRUE(open("vtr"));
  vcr->start();
  ASSERT_TRUE(eventually([&] { return countIn(sim->transcript(), "61 0C 03 70") >= 25; }, 10000));
  vcr->close();
  const auto t = sim->transcript();
  ASSERT_FALSE(t.empty());
  EXPECT_TRUE(t[0].in);
  EXPECT_EQ(t[0].hex, "41 36 00 77");
  const auto firstPoll = std::find_if(t.begin(), t.end(),
                                      [](const Line& l) { return l.in && l.hex == "61 0C 03 70"; });
  ASSERT_NE(firstPoll, t.end());
  const double pauseMs = (firstPoll->us - t[0].us) / 1000.0;
  EXPECT_GE(pauseMs, 1000.0);
  EXPECT_LT(pauseMs, 1200.0);
  // Status follows the first timecode request, then every eighth.
  EXPECT_EQ((firstPoll + 2)->hex, "61 20 09 8A");
  const double median = medianPollMs(t);
  std::cout << "tape deck: start-up pause " << pauseMs << " ms, median poll period " << median
            << " ms\n";
  EXPECT_GE(median, 35.0);
  EXPECT_LT(median, 35.0 + 30.0);
  EXPECT_NE(vcr->tcText(), "");
}

TEST_F(DeckSimTest, PollCadenceOfLancAndZarix) {
  for (const auto& [deck, interval] :
       {std::pair<std::string, double>{"lanc", 60.0}, {"zarix", 20.0}}) {
    ASSERT_TRUE(open(deck));
    vcr->GetTC();
    ASSERT_TRUE(eventually([&] { return countIn(sim->transcript(), "61 0C 03 70") >= 20; }, 10000));
    vcr->close();
    const double median = medianPollMs(sim->transcript());
    std::cout << deck << ": median poll period " << median << " ms\n";
    EXPECT_GE(median, interval) << deck;
    EXPECT_LT(median, interval + 30.0) << deck;
    TearDown();
  }
}

TEST_F(DeckSimTest, CueEndsCuedUpAtTheCuePoint) {
  ASSERT_TRUE(open("zarix"));  // short settle waits; the cue itself is the deck's
  vcr->GetTC();
  vcr->setCueText("00:01:00:00");
  vcr->cue();
  ASSERT_TRUE(log.waitForEntry("view ShowStatus CUED!!", 1, 15000));
  ASSERT_TRUE(log.waitForEntry("view unlock", 1, 5000));
  EXPECT_TRUE(eventually([&] { return vcr->tcText() == "00:01:00:00"; }, 3000)) << vcr->tcText();
  EXPECT_TRUE(
      eventually([&] { return vcr->getStatusString().find("CuedUp ") != std::string::npos; }, 3000))
      << vcr->getStatusString();
  EXPECT_EQ(countIn(sim->transcript(), "24 31 00 00 01 00 56"), 1);
}

TEST_F(DeckSimTest, StopDuringALongCueEndsItAndNoPauseFollows) {
  ASSERT_TRUE(open("vtr"));
  vcr->GetTC();
  vcr->setCueText("00:02:00:00");  // two minutes of winding away
  vcr->cue();
  ASSERT_TRUE(log.waitForEntry("view lock", 1, 5000));
  vcr->takeover([&] { vcr->stop(); });
  ASSERT_TRUE(log.waitForEntry("view unlock", 1, 3000));  // at once, not after 50 s
  ASSERT_TRUE(eventually([&] { return vcr->workerIdle(); }, 3000));
  vcr->takeover([&] { vcr->play(); });
  ASSERT_TRUE(eventually([&] { return countIn(sim->transcript(), "20 01 21") == 1; }, 3000));
  // The cue thread has ended, so nothing is left that could pause the deck later; the
  // transcript over the longest settle wait shows none.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(countIn(sim->transcript(), "21 13 00 34"), 0);
}

TEST_F(DeckSimTest, TapeReviewStopsAtTheOutPoint) {
  ASSERT_TRUE(open("vtr"));
  vcr->GetTC();
  vcr->setCueText("00:00:10:00");
  vcr->setEndText("00:00:13:00");
  const int out = 13 * 30;
  vcr->reviewclip();
  ASSERT_TRUE(eventually([&] { return printed("Cue/Review/Play Finished!"); }, 30000));
  // A few more polls show where the deck came to rest.
  const auto polls = countIn(sim->transcript(), "61 0C 03 70");
  ASSERT_TRUE(
      eventually([&] { return countIn(sim->transcript(), "61 0C 03 70") >= polls + 5; }, 3000));
  vcr->close();

  const auto t = sim->transcript();
  auto play =
      std::find_if(t.begin(), t.end(), [](const Line& l) { return l.in && l.hex == "20 01 21"; });
  ASSERT_NE(play, t.end());
  auto stop =
      std::find_if(play, t.end(), [](const Line& l) { return l.in && l.hex == "20 00 20"; });
  ASSERT_NE(stop, t.end());
  std::optional<int> trigger;
  for (auto it = play; it != stop; ++it) {
    if (!it->in) {
      if (auto f = framesOfReply(it->hex)) {
        trigger = f;
      }
    }
  }
  std::optional<int> rest;
  for (auto it = stop; it != t.end(); ++it) {
    if (!it->in) {
      if (auto f = framesOfReply(it->hex)) {
        rest = f;
      }
    }
  }
  ASSERT_TRUE(trigger && rest);
  const double playMs = (stop->us - play->us) / 1000.0;
  std::cout << "review 00:00:10:00-00:00:13:00: play to stop " << playMs
            << " ms; last timecode before the stop " << (*trigger - (out - 1))
            << " frames past out - 1; deck rests " << (*rest - (out - 1))
            << " frames past out - 1\n";
  // The Stop goes out for the instant the deck reaches out - 1, which may come before a poll
  // shows it, but never more than a poll cycle early; the deck rests near out - 1.
  EXPECT_GE(*trigger, out - 3);
  EXPECT_LE(*trigger - (out - 1), 1);
  EXPECT_GE(*rest, out - 2);
  EXPECT_LE(*rest - (out - 1), 2);
  EXPECT_TRUE(log.waitForEntry("view unlock", 1, 0));
}

// At 25 frames/s and 29.97 drop-frame, with the setting matching the deck, the stop goes out for
// the label before the out point, also where that label is in the previous second or minute.
TEST_F(DeckSimTest, TapeReviewAtEachRateStopsOneFrameBeforeTheOutPoint) {
  struct Case {
    const char* fps;
    TimecodeRate rate;
    const char* in;
    const char* out;
  } cases[] = {
      {"25", TimecodeRate(TimecodeRate::Kind::Fps25), "00:00:10:00", "00:00:12:00"},
      {"25", TimecodeRate(TimecodeRate::Kind::Fps25), "00:00:58:10", "00:01:00:00"},
      {"29.97df", TimecodeRate(TimecodeRate::Kind::Fps2997Df), "00:00:58;10", "00:01:00;02"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.fps) + " " + c.out);
    ASSERT_TRUE(open("vtr", {"--fps", c.fps}));
    ControllerApp::framerate = c.rate;
    vcr = std::make_unique<LocalVCR>(*link, false, view);  // takes the rate
    vcr->setLineSink([this](const std::string& line) {
      std::lock_guard lock(linesMutex);
      lines.push_back(line);
    });
    // The emulator's own counting of the out point: the controller must agree with it.
    const int out = FrameRate::parse(c.fps)->frameOf(
        {std::stoi(std::string(c.out, 0, 2)), std::stoi(std::string(c.out + 3, 2)),
         std::stoi(std::string(c.out + 6, 2)), std::stoi(std::string(c.out + 9, 2))});
    vcr->GetTC();
    vcr->setCueText(c.in);
    vcr->setEndText(c.out);
    vcr->reviewclip();
    EXPECT_EQ(vcr->getendframes(), out);
    ASSERT_TRUE(eventually([&] { return printed("Cue/Review/Play Finished!"); }, 30000));
    const auto polls = countIn(sim->transcript(), "61 0C 03 70");
    ASSERT_TRUE(
        eventually([&] { return countIn(sim->transcript(), "61 0C 03 70") >= polls + 5; }, 3000));
    vcr->close();
    const auto t = sim->transcript();
    auto play =
        std::find_if(t.begin(), t.end(), [](const Line& l) { return l.in && l.hex == "20 01 21"; });
    ASSERT_NE(play, t.end());
    auto stop =
        std::find_if(play, t.end(), [](const Line& l) { return l.in && l.hex == "20 00 20"; });
    ASSERT_NE(stop, t.end());
    std::optional<int> trigger, rest;
    for (auto it = play; it != t.end(); ++it) {
      if (!it->in) {
        if (auto f = framesOfReply(it->hex, c.rate)) {
          (it < stop ? trigger : rest) = f;
        }
      }
    }
    ASSERT_TRUE(trigger && rest);
    std::cout << c.fps << " review to " << c.out << ": last timecode before the stop "
              << (*trigger - (out - 1)) << " frames past out - 1; deck rests "
              << (*rest - (out - 1)) << "\n";
    EXPECT_GE(*trigger, out - 3);
    EXPECT_LE(*trigger - (out - 1), 1);
    EXPECT_GE(*rest, out - 2);
    EXPECT_LE(*rest - (out - 1), 2);
    TearDown();
    lines.clear();
  }
}

// A deck that halts one frame after Stop: RevALL's first review rests on the out point, and
// from what it shows the controller learns the latency, so later reviews rest on out - 1.
TEST_F(DeckSimTest, ADeckThatStopsLateIsLearnedAndRestsOnTheFrameBeforeTheOutPoint) {
  ASSERT_TRUE(open("vtr", {"--stop-latency", "1"}));
  // The settle pauses of the reviews shortened, so four reviews take seconds.
  class ShortSettle : public ConditionSleeper {
   public:
    bool sleep(int ms) override { return ConditionSleeper::sleep(shorten(ms)); }
    bool sleepUnless(int ms, const std::atomic<bool>& cancel) override {
      return ConditionSleeper::sleepUnless(shorten(ms), cancel);
    }

   private:
    static int shorten(int ms) { return ms == 1000 || ms == 2000 ? 300 : ms; }
  };
  vcr->setSleeper(std::make_shared<ShortSettle>());
  vcr->GetTC();
  const std::vector<std::pair<std::string, std::string>> clips = {{"00:00:10:00", "00:00:11:10"},
                                                                  {"00:00:20:00", "00:00:21:17"},
                                                                  {"00:00:30:00", "00:00:31:05"},
                                                                  {"00:00:40:00", "00:00:41:21"}};
  vcr->postRun([&] { vcr->reviewall(clips, [](const std::string&) {}); });
  ASSERT_TRUE(eventually([&] { return vcr->workerIdle(); }, 60000));
  const auto polls = countIn(sim->transcript(), "61 0C 03 70");
  ASSERT_TRUE(
      eventually([&] { return countIn(sim->transcript(), "61 0C 03 70") >= polls + 5; }, 3000));
  vcr->close();

  std::optional<int> rest;
  for (const auto& l : sim->transcript()) {
    if (!l.in) {
      if (auto f = framesOfReply(l.hex)) {
        rest = f;
      }
    }
  }
  ASSERT_TRUE(rest);
  const int out = 41 * 30 + 21;
  std::cout << "fourth review on a deck one frame late rests " << (*rest - (out - 1))
            << " frames past out - 1\n";
  EXPECT_EQ(*rest, out - 1);
  EXPECT_EQ(vcr->getstoplatency(), 1);
  EXPECT_TRUE(printed("Deck stop latency: 1 frame, learned from 1 review"));
}

TEST_F(DeckSimTest, Lx1RevAllClipEndsWithThePauseAloneAtTheOutPoint) {
  ASSERT_TRUE(open("lx1"));
  vcr->GetTC();
  const int out = 3 * 30;
  vcr->postRun([this] {
    vcr->reviewall({{"00:00:02:00", "00:00:03:00"}}, [](const std::string&) {});
  });
  ASSERT_TRUE(eventually([&] { return vcr->workerIdle(); }, 30000));
  const auto polls = countIn(sim->transcript(), "61 0C 03 70");
  ASSERT_TRUE(
      eventually([&] { return countIn(sim->transcript(), "61 0C 03 70") >= polls + 20; }, 5000));
  vcr->close();

  // From the review's play on: the pause at the out point, the script's final pause, and no
  // play in between or after that would carry the recorder past the out point.
  const auto t = sim->transcript();
  auto isIn = [](const std::string& hex) {
    return [hex](const Line& l) { return l.in && l.hex == hex; };
  };
  auto play = std::find_if(t.rbegin(), t.rend(), isIn("20 01 21")).base();
  ASSERT_NE(play, t.begin());
  std::vector<std::string> after;
  std::optional<int> rest;
  for (auto it = play; it != t.end(); ++it) {
    if (it->in && it->hex != "61 0C 03 70" && it->hex != "61 20 09 8A") {
      after.push_back(it->hex);
    } else if (!it->in) {
      if (auto f = framesOfReply(it->hex)) {
        rest = f;
      }
    }
  }
  EXPECT_EQ(after, (std::vector<std::string>{"21 13 00 34", "21 13 00 34"}));
  ASSERT_TRUE(rest);
  std::cout << "LX1 review to 00:00:03:00: rests " << (*rest - out)
            << " frames from the out point\n";
  EXPECT_LE(std::abs(*rest - out), 1);
}

TEST_F(DeckSimTest, ALostPortComesBackWithTheNextDeckOnTheSameLink) {
  const std::string port =
      (std::filesystem::temp_directory_path() / ("orva-deck-link-" + std::to_string(::getpid())))
          .string();
  ASSERT_TRUE(open("vtr", {"--link", port}, port));
  vcr->GetTC();
  ASSERT_TRUE(eventually([&] { return countIn(sim->transcript(), "61 0C 03 70") >= 3; }, 10000));
  sim.reset();  // the deck is gone; its link with it
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(port)));
  ASSERT_TRUE(eventually([&] { return link->isLost(); }, 10000));
  sim = std::make_unique<DeckSimChild>(
      deckSimPath(), transcript_,
      std::vector<std::string>{"--deck", "vtr", "--start", "00:10:00:00", "--link", port});
  ASSERT_TRUE(sim->ok()) << sim->error();
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(eventually([&] { return vcr->gettcframes() >= 10 * 1800; }, 15000)) << vcr->tcText();
  std::cout << "port back to the new deck's timecode: "
            << std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - t0)
                   .count()
            << " ms\n";
  EXPECT_TRUE(link->hasOutStream());
  vcr->close();
  sim.reset();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(port)));
}

}  // namespace
