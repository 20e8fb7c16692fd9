// Polling of a tape deck over a real pseudo-terminal against orva-decksim: the period of the
// timecode requests and its jitter, the CPU time of idle polling (controller and emulator), and
// the age of the displayed timecode while the deck plays. The deck's transcript gives the
// times on the line; a recording view gives the display times on the same clock.
//
//   orva_bench_poll [--idle-seconds N] [--play-seconds N] [--decksim PATH]
//                   [--keep-transcript PATH]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "app/ControllerApp.h"
#include "bench/RecordingView.h"
#include "bench/SampleStats.h"
#include "deck/BcdTimecode.h"
#include "deck/LocalVCR.h"
#include "serial/SerOutPort.h"
#include "sim/DeckSimChild.h"

namespace {

constexpr const char* kPoll = "61 0C 03 70";
constexpr const char* kStatus = "61 20 09 8A";
constexpr const char* kPlay = "20 01 21";
constexpr double kFps = 30.0;

double cpuSelfSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

bool waitFor(const std::function<bool()>& pred, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

struct Options {
  int idleSeconds = 60;
  int playSeconds = 20;
  std::string decksim = ORVA_DECKSIM_PATH;
  std::string keep;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--idle-seconds" && hasValue) {
      o.idleSeconds = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--play-seconds" && hasValue) {
      o.playSeconds = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--decksim" && hasValue) {
      o.decksim = argv[++i];
    } else if (a == "--keep-transcript" && hasValue) {
      o.keep = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: orva_bench_poll [--idle-seconds N] [--play-seconds N] "
                   "[--decksim PATH] [--keep-transcript PATH]\n");
      return false;
    }
  }
  return true;
}

// Gaps between successive timecode requests in [fromUs, toUs], split by whether a status
// request was sent between them.
void reportPeriods(const std::vector<DeckSimChild::Line>& t, std::int64_t fromUs,
                   std::int64_t toUs) {
  std::vector<double> all, plain, withStatus;
  std::int64_t last = -1;
  bool statusSince = false;
  for (const auto& l : t) {
    if (!l.in || l.us < fromUs || l.us > toUs) {
      continue;
    }
    if (l.hex == kStatus) {
      statusSince = true;
    } else if (l.hex == kPoll) {
      if (last >= 0) {
        const double gap = static_cast<double>(l.us - last) / 1000.0;
        all.push_back(gap);
        (statusSince ? withStatus : plain).push_back(gap);
      }
      last = l.us;
      statusSince = false;
    }
  }
  std::printf("poll period, all cycles:          %s\n", SampleStats(all).summary(" ms").c_str());
  std::printf("poll period, timecode only:       %s\n", SampleStats(plain).summary(" ms").c_str());
  std::printf("poll period, with status request: %s\n",
              SampleStats(withStatus).summary(" ms").c_str());
}

// Where the time of a plain cycle goes: request -> reply on the line, reply -> display,
// display -> next request (the 35 ms interval and its overshoot, plus the write).
void reportCycleParts(const std::vector<DeckSimChild::Line>& t,
                      const std::vector<RecordingView::Shown>& shown, std::int64_t fromUs,
                      std::int64_t toUs) {
  std::vector<double> replyLag, toDisplay, toNext;
  std::size_t s = 0;
  for (std::size_t i = 0; i + 1 < t.size(); ++i) {
    const auto& req = t[i];
    if (!req.in || req.hex != kPoll || req.us < fromUs || req.us > toUs || t[i + 1].in) {
      continue;
    }
    replyLag.push_back(static_cast<double>(t[i + 1].us - req.us) / 1000.0);
    while (s < shown.size() && shown[s].us < t[i + 1].us) {
      ++s;
    }
    if (s >= shown.size()) {
      break;
    }
    toDisplay.push_back(static_cast<double>(shown[s].us - req.us) / 1000.0);
    // The next request on the line, if it is a timecode request (a plain cycle).
    if (i + 2 < t.size() && t[i + 2].in && t[i + 2].hex == kPoll) {
      toNext.push_back(static_cast<double>(t[i + 2].us - shown[s].us) / 1000.0);
    }
  }
  std::printf("request -> deck reply (emulator): %s\n",
              SampleStats(replyLag).summary(" ms", 3).c_str());
  std::printf("request -> ShowTC (9 ms wait):    %s\n",
              SampleStats(toDisplay).summary(" ms", 3).c_str());
  std::printf("ShowTC -> next request (35 ms):   %s\n",
              SampleStats(toNext).summary(" ms", 3).c_str());
}

// Display age while playing: for each ShowTC, the time since the deck sent that timecode, and
// how far the deck had moved past the shown frame at display time and just before the next
// display replaced it.
void reportAge(const std::vector<DeckSimChild::Line>& t,
               const std::vector<RecordingView::Shown>& shown, std::int64_t playFromUs) {
  std::int64_t playAckUs = -1;
  int startFrame = 0;
  for (std::size_t i = 0; i + 1 < t.size(); ++i) {
    if (t[i].in && t[i].hex == kPlay && t[i].us >= playFromUs) {
      playAckUs = t[i + 1].us;  // the deck's ACK of play
      break;
    }
  }
  if (playAckUs < 0) {
    std::printf("display age: no play frame in the transcript\n");
    return;
  }
  // The last timecode reported before play is where the tape stood.
  for (const auto& l : t) {
    if (!l.in && l.us < playAckUs) {
      const int f = DeckSimChild::framesOfReply(l.hex);
      if (f >= 0) {
        startFrame = f;
      }
    }
  }
  auto positionAt = [&](std::int64_t us) {
    return startFrame + static_cast<double>(us - playAckUs) * kFps / 1e6;
  };
  std::vector<double> ageMs, ageFramesAtShow, ageFramesBeforeNext;
  std::map<int, int> wholeFrames;
  std::size_t o = 0;
  const std::int64_t settleUs = playAckUs + 500000;  // skip the first half second of play
  const std::int64_t maxUs = t.empty() ? 0 : t.back().us;
  std::int64_t lastOutUs = -1;
  int lastOutFrames = -1;
  for (std::size_t k = 0; k + 1 < shown.size(); ++k) {
    const auto& sh = shown[k];
    while (o < t.size() && t[o].us <= sh.us) {
      if (!t[o].in) {
        const int f = DeckSimChild::framesOfReply(t[o].hex);
        if (f >= 0) {
          lastOutUs = t[o].us;
          lastOutFrames = f;
        }
      }
      ++o;
    }
    if (sh.us < settleUs || sh.us > maxUs || lastOutUs < 0) {
      continue;
    }
    const int shownFrames = BcdTimecode::framesOf(sh.tc, "Shown");
    if (shownFrames != lastOutFrames) {
      continue;  // not matched to its reply
    }
    ageMs.push_back(static_cast<double>(sh.us - lastOutUs) / 1000.0);
    ageFramesAtShow.push_back(positionAt(sh.us) - shownFrames);
    ageFramesBeforeNext.push_back(positionAt(shown[k + 1].us) - shownFrames);
    wholeFrames[static_cast<int>(std::floor(positionAt(sh.us))) - shownFrames] += 1;
  }
  std::printf("deck reply -> ShowTC:             %s\n",
              SampleStats(ageMs).summary(" ms", 3).c_str());
  std::printf("deck position - shown, at ShowTC: %s\n",
              SampleStats(ageFramesAtShow).summary(" fr").c_str());
  std::printf("deck position - shown, before the next ShowTC: %s\n",
              SampleStats(ageFramesBeforeNext).summary(" fr").c_str());
  std::printf("whole frames behind at ShowTC:   ");
  for (const auto& [k, n] : wholeFrames) {
    std::printf(" %d:%d", k, n);
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (!parse(argc, argv, opt)) {
    return 2;
  }
  const std::string transcript = opt.keep.empty()
                                     ? (std::filesystem::temp_directory_path() /
                                        ("orva-bench-poll-" + std::to_string(::getpid()) + ".txt"))
                                           .string()
                                     : opt.keep;
  ControllerApp::resetDefaults();
  ControllerApp::lx1 = false;
  ControllerApp::zarix = false;
  ControllerApp::lanc = false;
  ControllerApp::stoponexit = false;
  int status = 0;
  {
    DeckSimChild sim(opt.decksim, transcript, {"--deck", "vtr"});
    if (!sim.ok()) {
      std::fprintf(stderr, "orva_bench_poll: %s\n", sim.error().c_str());
      return 1;
    }
    SerOutPort link(sim.slavePath());
    if (link.isBad()) {
      std::fprintf(stderr, "orva_bench_poll: cannot open %s\n", sim.slavePath().c_str());
      return 1;
    }
    link.setwait(9);
    RecordingView view;
    LocalVCR vcr(link, false, view);
    vcr.setLineSink([](const std::string&) {});
    vcr.start();
    if (!waitFor([&] { return !view.shown().empty(); }, 5000)) {
      std::fprintf(stderr, "orva_bench_poll: no timecode shown within 5 s\n");
      return 1;
    }
    // Idle polling: the tape stands still.
    const std::int64_t idleFrom = RecordingView::nowUs();
    const double selfCpu0 = cpuSelfSeconds();
    const double simCpu0 = sim.cpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(opt.idleSeconds));
    const double selfCpu = cpuSelfSeconds() - selfCpu0;
    const double simCpu = sim.cpuSeconds() - simCpu0;
    const std::int64_t idleTo = RecordingView::nowUs();

    // Playing: the timecode moves, so the display's age can be measured in frames.
    const std::int64_t playFrom = RecordingView::nowUs();
    vcr.play();
    std::this_thread::sleep_for(std::chrono::seconds(opt.playSeconds));
    const std::int64_t playTo = RecordingView::nowUs();
    vcr.close();

    const auto t = sim.transcript();
    const auto shown = view.shown();
    const double idleSec = static_cast<double>(idleTo - idleFrom) / 1e6;
    std::printf("machine: %u cores; idle %.1f s, play %.1f s\n",
                std::thread::hardware_concurrency(), idleSec,
                static_cast<double>(playTo - playFrom) / 1e6);
    std::printf("ideal period: 35 ms + 9 ms + 11 x 11 bit / 38400 = 47.15 ms\n");
    std::printf("-- idle polling --\n");
    reportPeriods(t, idleFrom, idleTo);
    reportCycleParts(t, shown, idleFrom, idleTo);
    std::printf("CPU controller: %.3f s in %.1f s = %.3f s/min = %.3f%% of a core\n", selfCpu,
                idleSec, selfCpu * 60 / idleSec, selfCpu / idleSec * 100);
    std::printf("CPU emulator:   %.3f s in %.1f s = %.3f s/min = %.3f%% of a core\n", simCpu,
                idleSec, simCpu * 60 / idleSec, simCpu / idleSec * 100);
    std::printf("-- playing --\n");
    reportPeriods(t, playFrom, playTo);
    reportAge(t, shown, playFrom);
    if (t.empty()) {
      status = 1;
    }
  }
  if (opt.keep.empty()) {
    std::filesystem::remove(transcript);
  }
  return status;
}
