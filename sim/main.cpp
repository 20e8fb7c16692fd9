// orva-decksim: an emulated RS-422 9-pin deck on a pseudo-terminal. Prints the slave path as
// the first line of standard output, then serves it until SIGTERM or SIGINT (or a configured
// hang-up). Exit status 0 on a clean end, 2 on bad arguments, 1 when the terminal or the
// transcript cannot be opened. When standard error is a terminal (and --quiet is not given), a
// status line there shows the deck's position, mode, speed and frame counts as they change.

#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "sim/DeckEmulator.h"
#include "sim/PtyServer.h"
#include "sim/SimCommandLine.h"
#include "sim/StatusLine.h"

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void onStopSignal(int) {
  stopRequested.store(true);
}

void installHandlers() {
  struct sigaction sa {};
  sa.sa_handler = onStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: the wait in the serving loop returns at once
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
  signal(SIGHUP, SIG_IGN);
  // Held back outside the server's wait; see PtyServer::run.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGTERM);
  sigaddset(&stops, SIGINT);
  sigprocmask(SIG_BLOCK, &stops, nullptr);
}

// PATH as a symbolic link to the terminal for the life of the server, so a controller can keep
// one port name across emulators. A stale link of an earlier run is replaced; at exit the link
// is removed only while it still points here.
class TerminalLink {
 public:
  TerminalLink(std::string path, std::string target)
      : path_(std::move(path)), target_(std::move(target)) {
    if (path_.empty()) {
      return;
    }
    std::string old;
    if (readLink(old)) {
      ::unlink(path_.c_str());
    }
    if (::symlink(target_.c_str(), path_.c_str()) != 0) {
      throw std::runtime_error("cannot make the link " + path_ + ": " + std::strerror(errno));
    }
  }
  ~TerminalLink() {
    std::string now;
    if (!path_.empty() && readLink(now) && now == target_) {
      ::unlink(path_.c_str());
    }
  }
  TerminalLink(const TerminalLink&) = delete;
  TerminalLink& operator=(const TerminalLink&) = delete;

 private:
  bool readLink(std::string& out) const {
    char buf[4096];
    const ssize_t n = ::readlink(path_.c_str(), buf, sizeof buf - 1);
    if (n < 0) {
      return false;
    }
    out.assign(buf, static_cast<std::size_t>(n));
    return true;
  }

  std::string path_;
  std::string target_;
};

// Redraws the status line in place about ten times a second until done turns true, then ends
// it with a newline so the shell prompt starts on a line of its own.
class StatusLineWriter {
 public:
  explicit StatusLineWriter(DeckEmulator& deck) : thread_([this, &deck] { loop(deck); }) {}
  ~StatusLineWriter() {
    done_.store(true);
    thread_.join();
  }
  StatusLineWriter(const StatusLineWriter&) = delete;
  StatusLineWriter& operator=(const StatusLineWriter&) = delete;

 private:
  void loop(DeckEmulator& deck) {
    std::string last;
    while (!done_.load()) {
      const std::string text = StatusLine::text(deck.snapshot(), deck.options().rate);
      if (text != last) {
        std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
        std::fflush(stderr);
        last = text;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::fputs("\n", stderr);
  }

  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
  const auto args = SimCommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
  if (args.help) {
    std::fputs(SimCommandLine::usage().c_str(), stdout);
    return 0;
  }
  if (!args.error.empty()) {
    std::fprintf(stderr, "orva-decksim: %s\n%s", args.error.c_str(),
                 SimCommandLine::usage().c_str());
    return 2;
  }
  installHandlers();
  try {
    DeckEmulator deck(args.options);
    PtyServer server(deck);
    TerminalLink link(args.linkPath, server.slavePath());
    std::printf("%s\n", server.slavePath().c_str());
    std::fflush(stdout);
    std::unique_ptr<StatusLineWriter> statusLine;
    if (!args.quiet && isatty(STDERR_FILENO))
      statusLine = std::make_unique<StatusLineWriter>(deck);
    if (args.realtime) {
      // The serving thread only ever waits in ppoll between frames, so at real-time priority it
      // answers at once without taking a core from anyone.
      sched_param fifo{};
      fifo.sched_priority = sched_get_priority_min(SCHED_FIFO);
      if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &fifo) != 0) {
        std::fprintf(stderr, "orva-decksim: real-time scheduling not allowed; serving as usual\n");
      }
    }
    server.run(stopRequested);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orva-decksim: %s\n", e.what());
    return 1;
  }
  return 0;
}
