// Out-point lateness of clip reviews on a tape deck against orva-decksim. Each review cues the
// deck to the clip's in point, plays it and sends Stop when the polled timecode reaches one
// frame before the out point. The lateness of a review is how many frames past that frame
// (out - 1) the deck stood when the Stop arrived: the deck's frame clock started at its ACK of
// Play, at the deck's frame rate, read at the transcript time of the Stop frame.
//
// With --fps 25 or 29.97df the deck runs at that rate; the in and out points are labels at the
// deck's rate, and the lateness is counted in the deck's frames. The controller counts at its
// FrameRate setting: by default the one matching the deck, or the one --controller-fps gives
// (--controller-fps 30 is a controller without the setting, counting at 30 frames/s).
//
// The fixed settle pauses of a review (1000 and 2000 ms) are shortened through the sleeper
// seam so that many reviews fit in a few minutes; the polling interval and the wait for the
// out point are the real ones.
//
//   orva_bench_review [--reviews N] [--settle-ms N] [--fps 30|29.97df|25] [--gap-outs]
//                     [--controller-fps 30|25|24|29.97DF] [--decksim PATH]
//                     [--keep-transcript PATH]
//
// --gap-outs puts every out point at the start of a minute, where at 25 and 29.97 drop-frame
// the label before it is not the controller's "out - 1".
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
    } else if (a == "--decksim" && hasValue) {
      o.decksim = argv[++i];
    } else if (a == "--keep-transcript" && hasValue) {
      o.keep = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: orva_bench_review [--reviews N] [--settle-ms N] "
                   "[--fps 30|29.97df|25] [--gap-outs] [--controller-fps 30|25|24|29.97DF] "
                   "[--decksim PATH] "
                   "[--keep-transcript PATH]\n");
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

// Counts the controller's "finished" lines so the program can wait for each review.
class FinishedCounter {
 public:
  void line(const std::string& text) {
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

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  int count_ = 0;
};

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
      opt.keep.empty() ? (std::filesystem::temp_directory_path() /
                          ("orva-bench-review-" + std::to_string(::getpid()) + ".txt"))
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
  int failed = 0;
  const auto began = std::chrono::steady_clock::now();
  {
    DeckSimChild sim(opt.decksim, transcript, {"--deck", "vtr", "--fps", opt.rate.name()});
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
        c.in = c.out - 30 - (i * 17) % 31;
      } else {
        c.in = 1800 + i * 150 + (i * 13) % 29;
        c.out = c.in + 30 + (i * 17) % 31;
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
    vcr.close();
    t = sim.transcript();
  }
  if (opt.keep.empty()) {
    std::filesystem::remove(transcript);
  }
  const double runSec =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

  // Each review: Play (its ACK starts the frame clock), then the next Stop.
  std::map<int, int> byLateness;
  std::vector<double> lateness, restLateness, gapLateness;
  // A label's frame count at 30 frames/s: where it skips a number, the label before the out
  // point is not "out - 1" in 30 frames/s counting.
  auto count30 = [&opt](int deckFrame) {
    return SimTimecode::parse(SimTimecode::format(deckFrame, opt.rate)).value_or(-1);
  };
  std::size_t clip = 0;
  int lastFrames = -1;
  for (std::size_t i = 0; i < t.size() && clip < clips.size(); ++i) {
    if (!t[i].in) {
      const int f = deckFrameOfReply(t[i].hex, opt.rate);
      if (f >= 0) {
        lastFrames = f;
      }
      continue;
    }
    if (t[i].hex != kPlay || i + 1 >= t.size() || t[i + 1].in) {
      continue;
    }
    const std::int64_t ackUs = t[i + 1].us;
    const int startFrame = lastFrames;  // where the cue left the tape
    std::size_t s = i + 2;
    while (s < t.size() && !(t[s].in && t[s].hex == kStop)) {
      ++s;
    }
    if (s >= t.size()) {
      break;
    }
    const Clip& c = clips[clip++];
    if (startFrame != c.in) {
      std::printf("review %zu: play started at frame %d, not at the in point %d\n", clip,
                  startFrame, c.in);
    }
    const int atStop =
        startFrame + static_cast<int>(std::floor(static_cast<double>(t[s].us - ackUs) *
                                                 opt.rate.perSecond() / 1e6));
    const int late = atStop - (c.out - 1);
    lateness.push_back(late);
    byLateness[late] += 1;
    // Out points right after a gap in the labels (ff = 00 at 25, a drop-frame minute): the
    // controller's "out - 1" is a label the deck never shows.
    if (count30(c.out) - 1 != count30(c.out - 1)) {
      gapLateness.push_back(late);
    }
    // Cross-check: the first timecode the deck reports after the Stop is where it came to rest.
    for (std::size_t r = s + 1; r < t.size(); ++r) {
      const int f = t[r].in ? -1 : deckFrameOfReply(t[r].hex, opt.rate);
      if (f >= 0) {
        restLateness.push_back(f - (c.out - 1));
        break;
      }
    }
    i = s;
  }
  const SampleStats st(lateness);
  std::printf(
      "reviews: %zu measured of %d at %s frames/s (controller FrameRate %s), settle pauses %d "
      "ms, run %.1f s\n",
      lateness.size(), opt.reviews, opt.rate.name().c_str(),
      ControllerApp::framerate.name().c_str(), opt.settleMs, runSec);
  std::printf("lateness (frames past out-1 when Stop arrived): %s\n", st.summary(" fr").c_str());
  std::printf("counts:");
  for (const auto& [k, n] : byLateness) {
    std::printf(" %+d:%d", k, n);
  }
  std::printf("\n");
  std::printf("out points after a gap in the labels: %zu, lateness %s\n", gapLateness.size(),
              SampleStats(gapLateness).summary(" fr").c_str());
  std::printf("deck's rest position past out-1: %s\n",
              SampleStats(restLateness).summary(" fr").c_str());
  const bool met = st.percentile(95) <= 1 && st.max() <= 2;
  std::printf("target (p95 <= 1, max <= 2): %s\n", met ? "met" : "missed");
  return failed == 0 && !lateness.empty() ? 0 : 1;
}
