// The predicted stop of a review on a fake clock: a deck plays from a known instant, the
// replies say which frame it showed between each request and the reading of its reply, and the
// predictor must name the instant a Stop reaches the deck in the frame it should rest on.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "deck/BcdTimecode.h"
#include "deck/PlayPredictor.h"
#include "deck/StopLatency.h"

namespace {

using Clock = PlayPredictor::Clock;
using Kind = TimecodeRate::Kind;
using ms = std::chrono::duration<double, std::milli>;

Clock::duration toDuration(double msValue) {
  return std::chrono::duration_cast<Clock::duration>(ms(msValue));
}

// A deck that began playing frame `first` at `epoch`; its frames last `periodMs`.
struct Deck {
  TimecodeRate rate;
  int first;
  Clock::time_point epoch;
  double periodMs;
  double framesAt(Clock::time_point t) const { return first + ms(t - epoch).count() / periodMs; }
  // The frame count the controller reads from the deck's label at t: through the timecode
  // text, so a dropped label can never be counted as a frame.
  int reply(Clock::time_point t) const {
    const int count = static_cast<int>(std::floor(framesAt(t)));
    return BcdTimecode::framesOf(rate.text(count), "reply", rate);
  }
};

double periodOf(TimecodeRate rate) {
  return rate.dropFrame() ? 1001.0 / 30.0 : 1000.0 / rate.nominal();
}

struct Polls {
  double gapMs;        // between requests; every eighth gap is statusMs longer
  double statusMs;     // the status exchange of every eighth cycle
  double sampleMs;     // the deck reads its timecode this long after the request
  double replyWaitMs;  // the reply is read this long after the request
};

// Polls the deck from `start` until the next poll would come after the stop instant, as the
// review does before it commits; answers that instant.
std::optional<Clock::time_point> pollUntilStop(PlayPredictor& p, const Deck& deck,
                                               const Polls& polls, Clock::time_point start,
                                               int restOn, int latency) {
  Clock::time_point t = start;
  for (int n = 0; n < 400; ++n) {
    const auto read = t + toDuration(polls.replyWaitMs);
    p.observe(deck.reply(t + toDuration(polls.sampleMs)), t, read);
    t += toDuration(polls.gapMs + (n % 8 == 7 ? polls.statusMs : 0));
    const auto at = p.stopInstant(restOn, latency);
    if (at && *at < t) {
      return at;
    }
  }
  return std::nullopt;
}

// Out points across a minute start; at 29.97 drop-frame the labels 00:01:00;00 and ;01 do not
// exist, so out - 1 is 00:01:00;02 - 1 = 00:00:59;29 there.
struct RateCase {
  Kind kind;
  const char* in;
  const char* out;
};
const RateCase kRates[] = {
    {Kind::Fps30, "00:00:58:00", "00:01:00:03"},
    {Kind::Fps25, "00:00:58:00", "00:01:00:03"},
    {Kind::Fps2997Df, "00:00:58;00", "00:01:00;03"},
};

TEST(PlayPredictor, StopInstantAtEveryPhaseOfTheFrameClock) {
  const Clock::time_point t0{std::chrono::hours(5)};
  for (const auto& r : kRates) {
    const TimecodeRate rate(r.kind);
    const double period = periodOf(rate);
    const int in = BcdTimecode::framesOf(r.in, "in", rate);
    const int restOn = BcdTimecode::framesOf(r.out, "out", rate) - 1;
    for (int latency : {0, 1, 3}) {
      for (int phase = 0; phase < 16; ++phase) {
        SCOPED_TRACE(rate.name() + " latency " + std::to_string(latency) + " phase " +
                     std::to_string(phase) + "/16");
        const Deck deck{rate, in, t0 + toDuration(phase * period / 16), period};
        const int arriveIn = restOn - latency;
        const auto ideal = deck.epoch + toDuration((arriveIn - in + 0.5) * period);

        // Replies read the instant the deck answers, polled so that they fall at every phase
        // of the frame clock: the instant is the middle of the frame, within a millisecond.
        PlayPredictor exact(rate);
        const Polls everyPhase{period * 33 / 32, 0, 0, 0};
        const auto at = pollUntilStop(exact, deck, everyPhase, t0, restOn, latency);
        ASSERT_TRUE(at);
        EXPECT_LE(std::abs(ms(*at - ideal).count()), 1.0);
        EXPECT_EQ(exact.frameAt(*at), arriveIn);

        // As the link polls: 35 ms apart plus a 9 ms reply wait, a status exchange every eighth
        // cycle, the deck answering at once. The Stop arrives in the right frame, well clear
        // of both its edges.
        PlayPredictor polled(rate);
        const Polls link{44.3, 9.2, 0.05, 9.1};
        const auto when = pollUntilStop(polled, deck, link, t0 + toDuration(3), restOn, latency);
        ASSERT_TRUE(when);
        const double frames = deck.framesAt(*when);
        EXPECT_EQ(static_cast<int>(std::floor(frames)), arriveIn);
        EXPECT_GE((frames - std::floor(frames)) * period, 5.0);
        EXPECT_GE((std::floor(frames) + 1 - frames) * period, 5.0);
      }
    }
  }
}

// Where the position cannot be predicted no instant is named, and the review keeps its rule of
// stopping at the poll that shows out - 1.
TEST(PlayPredictor, NoInstantWhereThePositionCannotBePredicted) {
  const TimecodeRate rate(Kind::Fps30);
  const Clock::time_point t0{std::chrono::hours(1)};
  struct Reply {
    double atMs;  // request; the reply is read 9 ms later
    int frame;    // -1: no reply (the line lost, or a reply of no use)
  };
  struct Case {
    const char* what;
    std::vector<Reply> replies;
    bool predictable;
  } cases[] = {
      {"three replies at play speed", {{0, 100}, {44, 101}, {88, 102}}, true},
      {"only two replies", {{0, 100}, {44, 101}}, false},
      {"timecode did not advance for two polls",
       {{0, 100}, {44, 101}, {88, 102}, {132, 102}},
       false},
      {"at rest after the stop", {{0, 100}, {44, 100}, {88, 100}, {132, 100}}, false},
      {"one and a half times play speed", {{0, 100}, {44, 102}, {88, 104}, {132, 106}}, false},
      {"twice play speed", {{0, 100}, {44, 103}, {88, 106}, {132, 108}}, false},
      {"a jump back", {{0, 100}, {44, 101}, {88, 102}, {132, 50}}, false},
      {"no reply: a lost line", {{0, 100}, {44, 101}, {88, 102}, {132, -1}}, false},
      {"after a lost line, three fresh replies",
       {{0, 100}, {44, -1}, {88, 103}, {132, 104}, {176, 106}},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PlayPredictor p(rate);
    for (const auto& r : c.replies) {
      const auto sent = t0 + toDuration(r.atMs);
      if (r.frame < 0) {
        p.reset();
      } else {
        p.observe(r.frame, sent, sent + toDuration(9));
      }
    }
    EXPECT_EQ(p.predictable(), c.predictable);
    EXPECT_EQ(p.stopInstant(200, 0).has_value(), c.predictable);
  }
}

// The stop latency moves towards where each review rested: a deck one frame late is right
// from the second review on, one odd review does not move a steady estimate by a frame, and a
// value from the settings is never learned over.
TEST(StopLatency, LearnedFromASeriesOfRests) {
  struct Case {
    std::optional<int> setting;
    std::vector<int> observed;
    std::vector<int> used;  // frames() after each observation
    int changes;            // how many observations changed it (each is logged)
  } cases[] = {
      {std::nullopt, {1, 1, 1, 1}, {1, 1, 1, 1}, 1},
      {std::nullopt, {0, 0, 0}, {0, 0, 0}, 0},
      {std::nullopt, {2, 1, 1, 1}, {2, 2, 1, 1}, 2},
      {std::nullopt, {1, 1, 1, 1, 1, 1, 0, 1}, {1, 1, 1, 1, 1, 1, 1, 1}, 1},
      {std::nullopt, {1, 1, 1, 1, 3, 3, 3}, {1, 1, 1, 1, 2, 2, 2}, 2},
      {std::nullopt, {14, -2}, {10, 5}, 2},
      {3, {0, 0, 0}, {3, 3, 3}, 0},
  };
  for (const auto& c : cases) {
    StopLatency latency(c.setting);
    EXPECT_EQ(latency.frames(), c.setting.value_or(0));
    std::vector<int> used;
    int changes = 0;
    for (int o : c.observed) {
      changes += latency.learn(o) ? 1 : 0;
      used.push_back(latency.frames());
    }
    EXPECT_EQ(used, c.used);
    EXPECT_EQ(changes, c.changes);
  }
}

}  // namespace
