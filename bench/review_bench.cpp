// Where clip reviews on a tape deck come to rest, against orva-decksim. Each review cues the
// deck to the clip's in point, plays it and sends Stop so that the deck rests on the frame
// before the out point (out - 1): for the instant the deck reaches it, predicted from the polled
// timecode, less the deck's stop latency the controller has learned; or, with --today, when
// the polled timecode reaches out - 1 (the rule before the prediction).
//
// Per review the program reports where the deck came to rest (its last timecode before the
// next review's cue frame) against out - 1, and the frame and the moment within it at which
// the Stop arrived: the deck's frame clock started at its ACK of Play, at the deck's frame
// rate, read at the transcript time of the Stop frame.
//
// With --fps 25 or 29.97df the deck runs at that rate; the in and out points are labels at the
// deck's rate, and everything is counted in the deck's frames. The controller counts at its
// FrameRate setting: by default the one matching the deck, or the one --controller-fps gives.
// --stop-latency and --reply-delay go to the emulator: a deck that halts N frames after Stop
// and answers MS late. The emulator serves at real-time priority where the system allows it
// (--realtime), so that on a loaded machine it still answers, and takes the Stop, when the
// frame arrives, as hardware does; the controller is measured, not the emulator's turn on
// the processor.
//
// The fixed settle pauses of a review (1000 and 2000 ms) are shortened through the sleeper
// seam so that many reviews fit in a few minutes; the polling interval and the wait for the
// out point are the real ones.
//
//   orva_bench_review [--reviews N] [--settle-ms N] [--fps 30|29.97df|25] [--gap-outs]
//                     [--controller-fps 30|25|24|29.97DF] [--stop-latency N]
//                     [--reply-delay MS] [--clip-frames MIN SPAN] [--today]
//                     [--decksim PATH] [--keep-transcript PATH]
//
// Clips last MIN to MIN + SPAN - 1 frames (30 and 31 by default: 1 to 2 s at 30 frames/s), in
// steps of 17 frames modulo SPAN, so the out points fall at every phase of the poll cycle.
// --gap-outs puts every out point at the start of a minute, where at 25 and 29.97 drop-frame
// the label before it is in the previous second or minute.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/ControllerApp.h"
#include "bench/RecordingView.h"
#include "bench/SampleStats.h"
#include "bench/ShortSettleSleeper.h"
#include "deck/LocalVCR.h"
#include "deck/PlayPredictor.h"
#include "serial/SerOutPort.h"
#include "sim/DeckSimChild.h"
#include "sim/FrameRate.h"
#include "sim/SimTimecode.h"

namespace {

constexpr const char* kPlay = "20 01 21";
constexpr const char* kStop = "20 00 20";
constexpr const char* kFinished = "Cue/Review/Play Finished!";

struct Options {
  int reviews = 50;
  int settleMs = 50;
  FrameRate rate;
  std::optional<TimecodeRate> controllerRate;
  bool gapOuts = false;
  int stopLatency = 0;
  int replyDelay = 0;
  int clipMin = 30;
  int clipSpan = 31;
  bool today = false;
  std::string decksim = ORVA_DECKSIM_PATH;
  std::string keep;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--reviews" && hasValue) {
      o.reviews = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--settle-ms" && hasValue) {
      o.settleMs = std::max(0, std::atoi(argv[++i]));
    } else if (a == "--fps" && hasValue && FrameRate::parse(argv[i + 1])) {
      o.rate = *FrameRate::parse(argv[++i]);
    } else if (a == "--controller-fps" && hasValue && TimecodeRate::parse(argv[i + 1])) {
      o.controllerRate = TimecodeRate::parse(argv[++i]);
    } else if (a == "--gap-outs") {
      o.gapOuts = true;
    } else if (a == "--stop-latency" && hasValue) {
      o.stopLatency = std::max(0, std::atoi(argv[++i]));
    } else if (a == "--reply-delay" && hasValue) {
      o.replyDelay = std::max(0, std::atoi(argv[++i]));
    } else if (a == "--clip-frames" && i + 2 < argc) {
      o.clipMin = std::max(10, std::atoi(argv[++i]));
      o.clipSpan = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--today") {
      o.today = true;
    } else if (a == "--decksim" && hasValue) {
      o.decksim = argv[++i];
    } else if (a == "--keep-transcript" && hasValue) {
      o.keep = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: orva_bench_review [--reviews N] [--settle-ms N] "
                   "[--fps 30|29.97df|25] [--gap-outs] [--controller-fps 30|25|24|29.97DF] "
                   "[--stop-latency N] [--reply-delay MS] [--clip-frames MIN SPAN] [--today] "
                   "[--decksim PATH] [--keep-transcript PATH]\n");
      return false;
    }
  }
  return true;
}

// The deck's frame of a timecode reply (74 04 ff ss mm hh sum) at its rate, or -1.
int deckFrameOfReply(const std::string& hex, FrameRate rate) {
  const auto b = DeckSimChild::bytesOf(hex);
  if (b.size() != 7 || b[0] != 0x74 || b[1] != 0x04) {
    return -1;
  }
  return SimTimecode::fromBcd(std::span<const std::uint8_t, 4>(&b[2], 4), rate);
}

// Counts the controller's "finished" lines so the program can wait for each review, and
// keeps the lines about the learned stop latency.
class FinishedCounter {
 public:
  void line(const std::string& text) {
    if (text.rfind("Deck stop latency", 0) == 0) {
      std::lock_guard lock(mutex_);
      learned_.push_back(text);
    }
    if (text == kFinished) {
      std::lock_guard lock(mutex_);
      ++count_;
      cv_.notify_all();
    }
  }
  bool waitFor(int count, int timeoutMs) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return count_ >= count; });
  }
  std::vector<std::string> learned() {
    std::lock_guard lock(mutex_);
    return learned_;
  }

 private:
  std::vector<std::string> learned_;
  std::mutex mutex_;
  std::condition_variable cv_;
  int count_ = 0;
};

// The emulator writes its transcript line by line; on a disk that other programs keep busy a
// write can wait for the disk, and the deck would answer late. Memory-backed when there is one.
std::filesystem::path transcriptDir() {
  std::error_code ec;
  return std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm")
                                                       : std::filesystem::temp_directory_path();
}

struct Clip {
  int in = 0;
  int out = 0;
};

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (!parse(argc, argv, opt)) {
    return 2;
  }
  const std::string transcript =
      opt.keep.empty()
          ? (transcriptDir() / ("orva-bench-review-" + std::to_string(::getpid()) + ".txt"))
                .string()
          : opt.keep;
  ControllerApp::resetDefaults();
  ControllerApp::lx1 = false;
  ControllerApp::zarix = false;
  ControllerApp::lanc = false;
  ControllerApp::stoponexit = false;
  ControllerApp::framerate = opt.controllerRate.value_or(
      opt.rate.dropFrame()       ? TimecodeRate(TimecodeRate::Kind::Fps2997Df)
      : opt.rate.nominal() == 25 ? TimecodeRate(TimecodeRate::Kind::Fps25)
                                 : TimecodeRate());
  std::vector<Clip> clips;
  std::vector<DeckSimChild::Line> t;
  std::vector<std::string> learned;
  int latencyUsed = 0;
  int failed = 0;
  const auto began = std::chrono::steady_clock::now();
  {
    DeckSimChild sim(
        opt.decksim, transcript,
        {"--deck", "vtr", "--fps", opt.rate.name(), "--stop-latency",
         std::to_string(opt.stopLatency), "--reply-delay", std::to_string(opt.replyDelay)});
    if (!sim.ok()) {
      std::fprintf(stderr, "orva_bench_review: %s\n", sim.error().c_str());
      return 1;
    }
    SerOutPort link(sim.slavePath());
    if (link.isBad()) {
      std::fprintf(stderr, "orva_bench_review: cannot open %s\n", sim.slavePath().c_str());
      return 1;
    }
    link.setwait(9);
    RecordingView view;
    FinishedCounter finished;
    LocalVCR vcr(link, false, view);
    vcr.setSleeper(std::make_shared<ShortSettleSleeper>(opt.settleMs));
    vcr.setLineSink([&finished](const std::string& line) { finished.line(line); });
    vcr.setPredictedStop(!opt.today);
    vcr.start();
    for (int i = 0; i < opt.reviews; ++i) {
      // Clips of 1 to 2 s at in points whose spacing varies, so the polls fall at every phase
      // of the frame clock.
      Clip c;
      if (opt.gapOuts) {
        // Every out point at the start of a minute that is not a tenth one (mm:00:00, at
        // 29.97 drop-frame mm:00:02, the first label there).
        const int minute = i + 1 + i / 9;
        c.out = opt.rate.frameOf({minute / 60, minute % 60, 0, 0});
        c.in = c.out - opt.clipMin - (i * 17) % opt.clipSpan;
      } else {
        c.in = 1800 + i * 150 + (i * 13) % 29;
        c.out = c.in + opt.clipMin + (i * 17) % opt.clipSpan;
      }
      clips.push_back(c);
      vcr.setCueText(SimTimecode::format(c.in, opt.rate));
      vcr.setEndText(SimTimecode::format(c.out, opt.rate));
      vcr.reviewclip();
      if (!finished.waitFor(i + 1, 20000)) {
        std::fprintf(stderr, "review %d did not finish within 20 s\n", i + 1);
        ++failed;
        break;
      }
    }
    // A few more polls show where the deck came to rest after the last Stop.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    latencyUsed = vcr.getstoplatency();
    learned = finished.learned();
    vcr.close();
    t = sim.transcript();
  }
  if (opt.keep.empty()) {
    std::filesystem::remove(transcript);
  }
  const double runSec =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

  // Each review is what lies between its cue frame and the next review's: Play (its ACK
  // starts the frame clock), the first Stop after it, and the last timecode before the next
  // cue frame (where the deck came to rest).
  std::map<int, int> byArrival, byRest;
  std::vector<double> arrival, rest, intoFrame, gapRest, sendError;
  // A label's frame count at 30 frames/s: where it skips a number, the label before the out
  // point is not "out - 1" in 30 frames/s counting.
  auto count30 = [&opt](int deckFrame) {
    return SimTimecode::parse(SimTimecode::format(deckFrame, opt.rate)).value_or(-1);
  };
  const double frameMs = 1000.0 / opt.rate.perSecond();
  std::vector<std::size_t> cues;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i].in && t[i].hex.rfind("24 31", 0) == 0) {
      cues.push_back(i);
    }
  }
  using Clock = std::chrono::steady_clock;
  auto at = [](std::int64_t us) { return Clock::time_point(std::chrono::microseconds(us)); };
  int lastFrames = -1;
  std::size_t scanned = 0;
  for (std::size_t k = 0; k < cues.size() && k < clips.size(); ++k) {
    const std::size_t end = k + 1 < cues.size() ? cues[k + 1] : t.size();
    const Clip& c = clips[k];
    std::optional<std::size_t> play, ack, stop;
    std::optional<int> restFrame;
    // The controller's view of the play, rebuilt from the transcript: each timecode request
    // as the deck received it, its reply read a reply wait (9 ms) later.
    PlayPredictor replay(ControllerApp::framerate);
    std::int64_t requestUs = 0;
    for (std::size_t i = scanned; i < end; ++i) {
      const int f = t[i].in ? -1 : deckFrameOfReply(t[i].hex, opt.rate);
      if (t[i].in && t[i].hex == "61 0C 03 70") {
        requestUs = t[i].us;
      }
      if (f >= 0) {
        if (!play) {
          lastFrames = f;
        } else if (!stop) {
          replay.observe(f, at(requestUs), at(requestUs + 9100));
        } else {
          restFrame = f;
        }
      }
      if (i < cues[k]) {
        continue;
      }
      if (!play && t[i].in && t[i].hex == kPlay) {
        play = i;
      } else if (play && !ack && !t[i].in) {
        ack = i;
      } else if (play && !stop && t[i].in && t[i].hex == kStop) {
        stop = i;
      }
    }
    scanned = end;
    if (!play || !ack || !stop) {
      std::printf("review %zu: no play or stop found\n", k + 1);
      continue;
    }
    const int startFrame = lastFrames;  // where the cue left the tape
    if (startFrame != c.in) {
      std::printf("review %zu: play started at frame %d, not at the in point %d\n", k + 1,
                  startFrame, c.in);
    }
    const double played =
        static_cast<double>(t[*stop].us - t[*ack].us) * opt.rate.perSecond() / 1e6;
    const int atStop = startFrame + static_cast<int>(std::floor(played));
    const int late = atStop - (c.out - 1);
    arrival.push_back(late);
    byArrival[late] += 1;
    intoFrame.push_back((played - std::floor(played)) * frameMs);
    // How far from the instant the replies named the Stop arrived (for the latency it was
    // sent for, the nearer of 0 to 3 frames).
    std::optional<double> error;
    for (int latency = 0; latency <= 3; ++latency) {
      if (auto s = replay.stopInstant(c.out - 1, latency)) {
        const double e = std::chrono::duration<double, std::milli>(at(t[*stop].us) - *s).count();
        if (!error || std::abs(e) < std::abs(*error)) {
          error = e;
        }
      }
    }
    if (error) {
      sendError.push_back(*error);
    }
    if (restFrame) {
      const int off = *restFrame - (c.out - 1);
      rest.push_back(off);
      byRest[off] += 1;
      // Out points right after a gap in the labels (ff = 00 at 25, a drop-frame minute).
      if (count30(c.out) - 1 != count30(c.out - 1)) {
        gapRest.push_back(off);
      }
      if (off != 0) {
        std::printf("review %zu: rests %+d, Stop arrived %.1f ms into frame %+d%s\n", k + 1, off,
                    intoFrame.back(), late,
                    error ? (", " + std::to_string(*error) + " ms from the instant").c_str() : "");
      }
    }
  }
  auto counts = [](const std::map<int, int>& m) {
    std::string text;
    for (const auto& [k, n] : m) {
      text += " " + std::string(k > 0 ? "+" : "") + std::to_string(k) + ":" + std::to_string(n);
    }
    return text;
  };
  std::printf(
      "reviews: %zu measured of %d at %s frames/s (controller FrameRate %s), deck stop latency "
      "%d, reply delay %d ms, %s, settle pauses %d ms, run %.1f s\n",
      rest.size(), opt.reviews, opt.rate.name().c_str(), ControllerApp::framerate.name().c_str(),
      opt.stopLatency, opt.replyDelay,
      opt.today ? "stop at the poll that shows out-1" : "predicted stop", opt.settleMs, runSec);
  std::printf("rest position past out-1:%s  (%s)\n", counts(byRest).c_str(),
              SampleStats(rest).summary(" fr").c_str());
  std::printf("frame the Stop arrived in, past out-1:%s\n", counts(byArrival).c_str());
  std::printf("moment in that frame the Stop arrived: %s\n",
              SampleStats(intoFrame).summary(" ms", 1).c_str());
  std::printf("Stop's arrival against the instant the replies name: %s\n",
              SampleStats(sendError).summary(" ms", 2).c_str());
  if (!gapRest.empty()) {
    std::printf("out points after a gap in the labels: %zu, rest %s\n", gapRest.size(),
                SampleStats(gapRest).summary(" fr").c_str());
  }
  std::printf("stop latency in use at the end: %d frames\n", latencyUsed);
  for (const auto& line : learned) {
    std::printf("  log: %s\n", line.c_str());
  }
  const auto exact = byRest.count(0) ? byRest.at(0) : 0;
  const bool pastOut = !rest.empty() && SampleStats(rest).max() > 1;
  const bool met = !rest.empty() && exact * 100 >= 99 * static_cast<int>(rest.size()) && !pastOut;
  std::printf(
      "exactly on out-1: %d of %zu (%.1f %%); past the out point: %s; target (>= 99 %% "
      "exact, never past): %s\n",
      exact, rest.size(), rest.empty() ? 0.0 : 100.0 * exact / rest.size(),
      pastOut ? "yes" : "never", met ? "met" : "missed");
  return failed == 0 && !rest.empty() ? 0 : 1;
}
