#include "deck/support/DeckFixture.h"

#include <algorithm>

LocalVCR& DeckFixture::make(Kind kind) {
  ControllerApp::resetDefaults();
  ControllerApp::lx1 = kind == Kind::Lx1;
  ControllerApp::zarix = kind == Kind::Zarix;
  ControllerApp::lanc = kind == Kind::Lanc;
  ControllerApp::stoponexit = false;
  ControllerApp::useclipboard = false;
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
