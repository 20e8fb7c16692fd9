#include "deck/support/DeckFixture.h"

#include <algorithm>
#include <thread>

LocalVCR& DeckFixture::make(Kind kind, TimecodeRate rate) {
  ControllerApp::resetDefaults();
  ControllerApp::lx1 = kind == Kind::Lx1;
  ControllerApp::zarix = kind == Kind::Zarix;
  ControllerApp::lanc = kind == Kind::Lanc;
  ControllerApp::stoponexit = false;
  ControllerApp::useclipboard = false;
  ControllerApp::framerate = rate;
  // A closed controller has shut its sleeper down: each controller gets a fresh one.
  sleeper = std::make_shared<RecordingSleeper>(log);
  vcr = std::make_unique<LocalVCR>(link, kind == Kind::Lanc, view);
  vcr->setSleeper(sleeper);
  vcr->setLineSink([this](const std::string& line) {
    {
      std::lock_guard lock(linesMutex_);
      lines_.push_back(line);
    }
    linesCv_.notify_all();
  });
  return *vcr;
}

void DeckFixture::TearDown() {
  if (vcr) {
    vcr->close();
    vcr.reset();
  }
  ControllerApp::resetDefaults();
}

std::vector<std::string> DeckFixture::lines() const {
  std::lock_guard lock(linesMutex_);
  return lines_;
}

bool DeckFixture::waitForLine(const std::string& line, int timeoutMs) {
  std::unique_lock lock(linesMutex_);
  return linesCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
  });
}

bool DeckFixture::eventually(const std::function<bool()>& pred, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
