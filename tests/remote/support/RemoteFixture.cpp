#include "remote/support/RemoteFixture.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>

#include "app/ControllerApp.h"

void StatusView::ShowStatus(const std::string& text) {
  std::lock_guard lock(mutex_);
  lines_.push_back(text);
}

bool StatusView::shown(const std::string& prefix) const {
  std::lock_guard lock(mutex_);
  return std::any_of(lines_.begin(), lines_.end(),
                     [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

void RemoteFixture::SetUp() {
  const std::string program = std::string(ORVA_BINARY_DIR) + "/sim/orva-decksim";
  if (!std::filesystem::exists(program)) {
    GTEST_SKIP() << "orva-decksim not built: build the orva-decksim target to run these tests";
  }
}

void RemoteFixture::TearDown() {
  if (HasFailure()) {
    // The servers' log explains most failures.
    std::lock_guard lock(logMutex_);
    for (const auto& line : log_) {
      std::cout << "log: " << line << "\n";
    }
  }
  session.reset();
  hyperdeck.reset();
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

bool RemoteFixture::open(const std::string& deck, const std::string& allow, int hyperDeckClients,
                         const std::vector<std::string>& simArgs, TimecodeRate rate) {
  ControllerApp::resetDefaults();
  ControllerApp::framerate = rate;
  ControllerApp::lx1 = deck == "lx1";
  ControllerApp::zarix = deck == "zarix";
  ControllerApp::lanc = deck == "lanc";
  ControllerApp::stoponexit = false;
  transcript_ = (std::filesystem::temp_directory_path() /
                 ("orva-remote-transcript-" + std::to_string(::getpid()) + ".txt"))
                    .string();
  std::vector<std::string> args{"--deck", deck};
  args.insert(args.end(), simArgs.begin(), simArgs.end());
  sim = std::make_unique<DeckSimChild>(std::string(ORVA_BINARY_DIR) + "/sim/orva-decksim",
                                       transcript_, args);
  if (!sim->ok()) {
    ADD_FAILURE() << sim->error();
    return false;
  }
  link = std::make_unique<SerOutPort>(sim->slavePath());
  link->setwait(9);
  vcr = std::make_unique<LocalVCR>(*link, ControllerApp::lanc, view);
  vcr->setLineSink([](const std::string&) {});
  vcr->GetTC();
  std::string bad;
  auto filter = AddressFilter::parse(allow, bad);
  auto log = [this](const std::string& line) {
    std::lock_guard lock(logMutex_);
    log_.push_back(line);
  };
  session = std::make_unique<RemotePort>(*vcr, 0, *filter, log);
  hyperdeck = std::make_unique<HyperDeckPort>(*vcr, 0, *filter, log, hyperDeckClients);
  // The first status reply is in before a test asks for the deck's state.
  return session->start() && hyperdeck->start() &&
         eventually([&] { return vcr->getstatusdata().has_value(); }, 5000);
}

std::vector<std::string> RemoteFixture::framesIn() const {
  std::vector<std::string> out;
  for (const auto& l : sim->transcript()) {
    if (l.in) {
      out.push_back(l.hex);
    }
  }
  return out;
}

bool RemoteFixture::received(const std::string& hex, int count, int timeoutMs) const {
  return eventually(
      [&] {
        const auto f = framesIn();
        return std::count(f.begin(), f.end(), hex) >= count;
      },
      timeoutMs);
}

bool RemoteFixture::logged(const std::string& part, int timeoutMs) const {
  return eventually(
      [&] {
        std::lock_guard lock(logMutex_);
        return std::any_of(log_.begin(), log_.end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
      },
      timeoutMs);
}

bool RemoteFixture::eventually(const std::function<bool()>& pred, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}
