#include "deck/TCThread.h"

#include <exception>
#include <string>

#include "deck/LocalVCR.h"
#include "deck/Sleeper.h"

TCThread::TCThread(LocalVCR& svcr, bool LANC, bool zarix, Sleeper& sleeper, int firstDelayMs)
    : svcr_(svcr),
      sleeper_(sleeper),
      sleeptime_(intervalFor(LANC, zarix)),
      firstDelayMs_(firstDelayMs),
      thread_([this] { run(); }) {}

TCThread::~TCThread() {
  stopme();
  join();
}

int TCThread::intervalFor(bool LANC, bool zarix) {
  int ms = 35;
  if (LANC) {
    ms = 60;
  }
  if (zarix) {
    ms = 20;
  }
  return ms;
}

void TCThread::stopme() {
  a_.store(false);
}

void TCThread::join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
    thread_.join();
  }
}

void TCThread::run() {
  if (firstDelayMs_ > 0 && !sleeper_.sleep(firstDelayMs_)) {
    return;
  }
  while (a_.load()) {
    if (!sleeper_.sleep(sleeptime_.load())) {
      return;  // the controller is closing
    }
    // A failing link must not end the polling: the controller reports it and the next cycle
    // tries again.
    // A failure repeated every cycle is reported once, not 30 times a second.
    std::string failure;
    try {
      // A review's Stop planned for the coming milliseconds goes out first.
      svcr_.holdPollForStop();
      svcr_.CommandB8();
      if (n_ == 0) {
        svcr_.holdPollForStop();
        svcr_.CommandStatus();
      }
    } catch (const std::exception& e) {
      failure = e.what();
    } catch (...) {
      failure = "unknown error";
    }
    if (!failure.empty() && failure != lastFailure_) {
      svcr_.reportError("Timecode polling", failure);
    }
    lastFailure_ = failure;
    n_ += 1;
    if (n_ > 7) {
      n_ = 0;
    }
  }
}
