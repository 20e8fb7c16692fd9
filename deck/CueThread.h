#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <thread>

class LocalVCR;

// One cue, cue-and-play, cue-to-out or clip review: sends the cue frame, waits for the deck to
// report cued up, lets the transport settle, optionally plays, and for a review halts the deck
// one frame before the out point. Each ends by itself, or early when the controller closes, the
// operator takes over, a newer cue starts or the line is lost. The destructor joins.
// The deck goes to one place at a time: once a newer cue has started, an older one sends
// nothing more and leaves the cue flags and the window's cue lock to the newer one.
class CueThread {
 public:
  // generation: the controller's count of cues started, this one included.
  CueThread(LocalVCR& svcr, const std::array<std::uint8_t, 7>& cueFrame, unsigned generation);
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
  // Taken over, superseded, or the line was lost since the cue frame went out: nothing more is
  // sent.
  bool stopped() const;
  // Sends a frame unless the cue has stopped; ordered against a newer cue's start, so no frame
  // of this cue follows the newer cue's frame. Answers whether it went out.
  bool sendUnlessStopped(std::span<const std::uint8_t> frame);
  // Whether no newer cue has started. Called with the controller's cue order lock held.
  bool newest() const;
  // Clears the flags that drove this cue, unless a newer cue has set them since.
  void clearFlags(bool cueplay, bool review);

  LocalVCR& svcr_;
  const std::array<std::uint8_t, 7> cueFrame_;
  const unsigned generation_;
  std::atomic<bool> gotthere_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> abandoned_{false};
  const unsigned losses_;  // the link's loss count when the thread started
  std::jthread thread_;    // last: starts after every other member exists
};
