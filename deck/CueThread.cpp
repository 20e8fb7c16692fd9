#include "deck/CueThread.h"

#include <exception>

#include "deck/LocalVCR.h"
#include "deck/Sleeper.h"
#include "deck/TimeCritical.h"

CueThread::CueThread(LocalVCR& svcr, const std::array<std::uint8_t, 7>& cueFrame,
                     unsigned generation)
    : svcr_(svcr),
      cueFrame_(cueFrame),
      generation_(generation),
      losses_(svcr.sop_.lineLosses()),
      thread_([this] { run(); }) {}

void CueThread::abandon() {
  abandoned_.store(true);
}

bool CueThread::stopped() const {
  return abandoned_.load() || svcr_.sop_.lineLosses() != losses_;
}

bool CueThread::newest() const {
  return generation_ == svcr_.cueGeneration_;
}

bool CueThread::sendUnlessStopped(std::span<const std::uint8_t> frame) {
  std::lock_guard order(svcr_.cueOrderMutex_);
  if (stopped()) {
    return false;
  }
  svcr_.CommandB0(frame);
  return true;
}

void CueThread::clearFlags(bool cueplay, bool review) {
  std::lock_guard order(svcr_.cueOrderMutex_);
  if (!newest()) {
    return;
  }
  if (cueplay) {
    svcr_.cueplayFlag_.store(false);
  }
  if (review) {
    svcr_.reviewclipFlag_.store(false);
  }
}

CueThread::~CueThread() {
  join();
}

void CueThread::join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
    thread_.join();
  }
}

void CueThread::run() {
  try {
    steps();
  } catch (const std::exception& e) {
    svcr_.reportError("Cue", e.what());
  } catch (...) {
    svcr_.reportError("Cue", "unknown error");
  }
  // The window is unlocked on every way out, so a failed or abandoned cue never leaves the cue
  // buttons disabled; a cue superseded by a newer one leaves that to the newer one.
  {
    std::lock_guard order(svcr_.cueOrderMutex_);
    if (newest()) {
      svcr_.view_.setCueLocked(false);
    }
  }
  finished_.store(true);
  svcr_.sleeper().wake();  // a script waiting for this review checks again
}

void CueThread::settle(bool lx1, bool zarix) {
  LocalVCR& v = svcr_;
  Sleeper& sleeper = v.sleeper();
  if (!lx1 && !sendUnlessStopped(LocalVCR::bspause)) {
    return;
  }
  if (!sleeper.sleepUnless(zarix ? 50 : 2000, abandoned_)) {
    return;
  }
  {
    // A newer cue has cleared the cued-up bit for its own wait; it must not be set for it here.
    std::lock_guard order(v.cueOrderMutex_);
    if (stopped()) {
      return;
    }
    v.cueup_.store(true);
    v.moving_.store(0);
  }
  v.ShowStat("CUED!!");
  sleeper.sleepUnless(zarix ? 20 : 2000, abandoned_);
}

void CueThread::playToOut(bool lx1) {
  LocalVCR& v = svcr_;
  Sleeper& sleeper = v.sleeper();
  // Play to the out point and halt on the frame before it. The polling thread wakes the waits
  // on every new timecode; the 50 ms check is only a safety net. Each wait also ends when a
  // transport command abandons the review (SettleDown clears the flag).
  const int restOn = v.endframes_.load() - 1;
  auto reached = [&v, restOn] { return restOn <= v.tcframes_.load(); };
  auto ended = [&v, this] { return !v.reviewclipFlag_.load() || stopped(); };
  auto send = [&v, lx1, this] {
    const auto at = LocalVCR::Clock::now();
    const std::span<const std::uint8_t> halt =
        lx1 ? std::span<const std::uint8_t>(LocalVCR::bspause) : LocalVCR::bsstop;
    if (!sendUnlessStopped(halt)) {
      return false;
    }
    v.stopSent(at);
    gotthere_.store(true);
    v.duration_.store(0);
    return true;
  };
  // Until the Stop has gone out the thread runs at real-time priority where the system allows
  // it, so that a busy machine makes it neither wake late for the instant nor see the poll that
  // shows out - 1 late. It sleeps all but the last 2.5 ms before the instant.
  TimeCritical critical;
  for (;;) {
    // While the deck plays at play speed its replies say when it will be on out - 1. Once
    // that instant is near, the Stop is sent for it (less the deck's stop latency), between
    // polls; until then, or when the position cannot be predicted, the first poll that shows
    // out - 1 or later sends it.
    sleeper.waitUntil([&] { return reached() || ended() || v.stopPlanned(restOn); }, 50, -1);
    if (sleeper.closing() || reached() || ended()) {
      break;
    }
    if (sleeper.sleepUntil([&] { return v.planStop(restOn); },
                           [&] { return reached() || ended(); }) &&
        !ended()) {
      if (!send()) {
        v.stopSent(std::nullopt);
      }
      return;
    }
  }
  if (!sleeper.closing() && reached() && !ended() && send()) {
    return;
  }
  v.stopSent(std::nullopt);
}

void CueThread::steps() {
  LocalVCR& v = svcr_;
  Sleeper& sleeper = v.sleeper();
  const bool lx1 = v.lx1_;
  const bool zarix = v.zarix_;
  auto sayFinished = [&v] {
    if (!v.getscriptactive()) {
      v.println("Cue/Review/Play Finished!");
    }
  };

  bool sent = false;
  {
    // A cue superseded before it got here sends nothing, so its frames never follow the newer
    // cue's.
    std::lock_guard order(v.cueOrderMutex_);
    if (!stopped()) {
      // The LX1 takes the cue command only from pause.
      if (lx1) {
        v.CommandB0(LocalVCR::bspause);
      }
      v.view_.setCueLocked(true);
      v.moving_.store(1);
      v.CommandB0(cueFrame_);
      v.cueFrameSent();
      sent = true;
    }
  }

  // The polling thread sets cueup from the deck's status; a deck that never reports it is
  // treated as cued after the longest wait.
  // A cue the operator took over, that a newer cue superseded, or whose line was lost meanwhile,
  // stops waiting at once and only finishes (below): a pause sent now would move the deck
  // nobody asked to move.
  if (sent) {
    sleeper.waitUntil([&v, this] { return v.cueup_.load() || stopped(); }, 20,
                      maxtriesFor(lx1) * 20);
  }
  if (sleeper.closing()) {
    return;
  }
  if (!stopped()) {
    settle(lx1, zarix);
  }
  if (sleeper.closing()) {
    return;
  }
  {
    std::lock_guard order(v.cueOrderMutex_);
    if (!stopped() && v.cueplayFlag_.load()) {
      v.CommandB0(LocalVCR::bsplay);
      v.resetPrediction();  // what the deck did before the play tells nothing about it
    }
  }
  if (stopped()) {
    clearFlags(true, true);
    sayFinished();
    return;
  }
  clearFlags(true, false);
  gotthere_.store(false);

  if (v.reviewclipFlag_.load()) {
    playToOut(lx1);
    if (sleeper.closing()) {
      return;
    }
  }
  clearFlags(false, true);
  sayFinished();
}
