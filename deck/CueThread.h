#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

class LocalVCR;

// One cue, cue-and-play, cue-to-out or clip review: sends the cue frame, waits for the deck to
// report cued up, lets the transport settle, optionally plays, and for a review halts the deck
// one frame before the out point. Several may run at once; each ends by itself, or early when
// the controller closes, the operator takes over or the line is lost. The destructor joins.
class CueThread {
 public:
  CueThread(LocalVCR& svcr, const std::array<std::uint8_t, 7>& cueFrame);
  ~CueThread();
  CueThread(const CueThread&) = delete;
  CueThread& operator=(const CueThread&) = delete;

  // Upper bound of the cued-up wait in 20 ms steps: 2500, or 100 on the LX1.
  static int maxtriesFor(bool lx1) { return lx1 ? 100 : 2500; }

  // The review reached its out point and the deck was halted there.
  bool gotthere() const { return gotthere_.load(); }
  // The thread has done its last step.
  bool finished() const { return finished_.load(); }
  // The operator took the deck over: the cue, cue-and-play or review stops waiting and finishes
  // without sending another frame, and the cue buttons unlock.
  void abandon();
  void join();

 private:
  void run();
  void steps();
  // Pause after cued up and the two settle waits with "CUED!!" between them.
  void settle(bool lx1, bool zarix);
  // A review's play to its out point and the Stop (Pause on the LX1) there.
  void playToOut(bool lx1);
  // Taken over, or the line was lost since the cue frame went out: nothing more is sent.
  bool stopped() const;

  LocalVCR& svcr_;
  const std::array<std::uint8_t, 7> cueFrame_;
  std::atomic<bool> gotthere_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> abandoned_{false};
  const unsigned losses_;  // the link's loss count when the thread started
  std::jthread thread_;    // last: starts after every other member exists
};
