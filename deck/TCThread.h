#pragma once

#include <atomic>
#include <string>
#include <thread>

class LocalVCR;
class Sleeper;

// The polling thread: asks the deck for its timecode every cycle and for its status every eighth
// cycle, right after a timecode request. Runs from construction until stopme() and the sleeper's
// shutdown; the destructor stops and joins it.
class TCThread {
 public:
  // firstDelayMs is waited once before the first cycle (the controller's start-up pause).
  TCThread(LocalVCR& svcr, bool LANC, bool zarix, Sleeper& sleeper, int firstDelayMs = 0);
  ~TCThread();
  TCThread(const TCThread&) = delete;
  TCThread& operator=(const TCThread&) = delete;

  // The pause before each cycle by deck kind: 35 ms, 60 ms on a LANC deck, 20 ms on a ZARIX
  // recorder (also with LANC).
  static int intervalFor(bool LANC, bool zarix);

  void stopme();
  void join();
  void setsleeptime(int ms) { sleeptime_.store(ms); }
  int getsleeptime() const { return sleeptime_.load(); }

 private:
  void run();

  LocalVCR& svcr_;
  Sleeper& sleeper_;
  std::atomic<bool> a_{true};
  std::atomic<int> sleeptime_;
  int n_ = 0;
  std::string lastFailure_;  // polling thread only
  const int firstDelayMs_;
  std::jthread thread_;  // last: starts after every other member exists
};
