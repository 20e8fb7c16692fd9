// orva-decksim: an emulated RS-422 9-pin deck on a pseudo-terminal. Prints the slave path as
// the first line of standard output, then serves it until SIGTERM or SIGINT (or a configured
// hang-up). Exit status 0 on a clean end, 2 on bad arguments, 1 when the terminal or the
// transcript cannot be opened.

#include <signal.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "sim/DeckEmulator.h"
#include "sim/PtyServer.h"
#include "sim/SimCommandLine.h"

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
    std::printf("%s\n", server.slavePath().c_str());
    std::fflush(stdout);
    server.run(stopRequested);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orva-decksim: %s\n", e.what());
    return 1;
  }
  return 0;
}
