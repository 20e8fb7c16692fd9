#pragma once

#include <chrono>
#include <optional>

#include "app/TimecodeRate.h"

// Where a deck that plays at play speed stands between two polls, worked out from its timecode
// replies and the steady-clock times around them.
//
// At play speed frame F begins at E + F x period for one fixed instant E, the period being that
// of the frame rate (at 29.97 drop-frame 1001/30000 s; the frame counts skip the dropped labels,
// so they run on evenly). A reply of frame F says the deck was in F at some moment between the
// request going out and the reply being read, which bounds E from both sides. Each reply
// narrows the range of E to what all replies since the play began agree on; a reply that fits
// none of it (the deck is not at play speed, or jumped) starts the range again from itself.
//
// Not thread-safe: the owner serialises its calls.
class PlayPredictor {
 public:
  using Clock = std::chrono::steady_clock;

  explicit PlayPredictor(TimecodeRate rate = {});

  // A timecode reply of frame count `frame`: the request was written no earlier than `sent`
  // and the reply read at `read`. A frame that did not advance from the previous reply, or one
  // that disagrees with play speed, starts again from this reply.
  void observe(int frame, Clock::time_point sent, Clock::time_point read);
  // Forget every reply: no reply came, the line was lost or came back, the transport was told
  // to move.
  void reset();

  // Three replies in a row advanced and agree with play speed (two may agree with 1.5 times
  // play speed as well; three 44 ms apart no longer do).
  bool predictable() const { return replies_ >= 3; }
  // When the last reply agreeing with the rest was read.
  Clock::time_point lastRead() const { return lastRead_; }

  // The instant a Stop must reach the deck for it to rest on `restFrame` when it comes to rest
  // `latency` frames after the frame the Stop arrived in: the middle of the span in which the
  // deck is in frame restFrame - latency for every E still possible. Nothing unless predictable.
  std::optional<Clock::time_point> stopInstant(int restFrame, int latency) const;
  // The frame the deck is in at `t`, when every E still possible agrees on it.
  std::optional<int> frameAt(Clock::time_point t) const;

 private:
  void startFrom(int frame, Clock::time_point sent, Clock::time_point read);
  double ns(Clock::time_point t) const;  // nanoseconds after base_

  double periodNs_;
  Clock::time_point base_{};  // the first reply's request time
  int baseFrame_ = 0;         // and its frame
  // The instant frame baseFrame_ began, in nanoseconds after base_, lies in [lo_, hi_].
  double lo_ = 0;
  double hi_ = 0;
  int lastFrame_ = 0;
  Clock::time_point lastRead_{};
  int replies_ = 0;  // replies in a row that agree
};
