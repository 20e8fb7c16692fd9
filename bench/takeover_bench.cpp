// How fast the operator gets the deck: the control window (offscreen) drives a tape deck of
// orva-decksim over a pseudo-terminal, and each trial presses Stop, with the "Stop *" button or
// with Escape, while
//   - a script waits (Play, Wait600, Stop: pressed during the wait),
//   - RevALL runs (a list of five clips, pressed at a random moment of it),
//   - a review plays to its out point (pressed while the clip plays),
//   - a 600 ms jog sequence runs (pressed during its wait).
// The figure is the time from the press to the stop frame in the emulator's transcript (both
// CLOCK_MONOTONIC). The fixed settle pauses of reviews (1000 and 2000 ms) are shortened through
// the sleeper seam so that the trials fit in minutes; nothing else is.
//
// Then the port's return: the emulator is stopped and another started on the same --link path,
// and the figure is the time from the new terminal's appearance to the first timecode of the
// new deck on the display.
//
//   orva_bench_takeover [--trials N] [--returns N] [--settle-ms N] [--decksim PATH]
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/ControllerApp.h"
#include "bench/SampleStats.h"
#include "bench/ShortSettleSleeper.h"
#include "deck/LocalVCR.h"
#include "serial/SerOutPort.h"
#include "sim/DeckSimChild.h"
#include "ui/qt/LocalGUI.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kStop = "20 00 20";
constexpr const char* kPlay = "20 01 21";
constexpr const char* kJogF = "21 11 10 42";

struct Options {
  int trials = 15;  // per situation and press kind
  int returns = 5;
  int settleMs = 50;
  std::string decksim = ORVA_DECKSIM_PATH;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--trials" && hasValue) {
      o.trials = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--returns" && hasValue) {
      o.returns = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--settle-ms" && hasValue) {
      o.settleMs = std::max(0, std::atoi(argv[++i]));
    } else if (a == "--decksim" && hasValue) {
      o.decksim = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: orva_bench_takeover [--trials N] [--returns N] [--settle-ms N] "
                   "[--decksim PATH]\n");
      return false;
    }
  }
  return true;
}

std::int64_t nowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

// Reads the transcript as it grows, whole lines only, and remembers the frames the deck got.
class TranscriptTail {
 public:
  explicit TranscriptTail(std::string path) : path_(std::move(path)) {}
  void restart() {
    offset_ = 0;
    partial_.clear();
  }
  // The first frame `hex` the deck received at or after `sinceUs`; -1 when none yet.
  std::int64_t firstIn(const std::string& hex, std::int64_t sinceUs) {
    readNew();
    for (const auto& [us, h] : frames_) {
      if (us >= sinceUs && h == hex) {
        return us;
      }
    }
    return -1;
  }

 private:
  void readNew() {
    std::ifstream in(path_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset_));
    std::string chunk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    offset_ += chunk.size();
    partial_ += chunk;
    std::size_t start = 0;
    for (std::size_t nl; (nl = partial_.find('\n', start)) != std::string::npos; start = nl + 1) {
      std::istringstream fields(partial_.substr(start, nl - start));
      std::int64_t us = 0;
      std::string tag, hex;
      if (fields >> us >> tag && tag == "IN") {
        std::getline(fields >> std::ws, hex);
        if (hex != "61 0C 03 70" && hex != "61 20 09 8A") {  // polling is not of interest
          frames_.emplace_back(us, hex);
        }
      }
    }
    partial_.erase(0, start);
  }

  std::string path_;
  std::size_t offset_ = 0;
  std::string partial_;
  std::vector<std::pair<std::int64_t, std::string>> frames_;
};

class Bench {
 public:
  Bench(const Options& o, const fs::path& dir)
      : options_(o),
        dir_(dir),
        linkPath_((dir / "deck").string()),
        transcriptPath_((dir / "transcript.txt").string()),
        tail_(transcriptPath_) {}

  bool open() {
    sim_ = std::make_unique<DeckSimChild>(
        options_.decksim, transcriptPath_,
        std::vector<std::string>{"--deck", "vtr", "--link", linkPath_});
    if (!sim_->ok()) {
      std::fprintf(stderr, "orva-decksim: %s\n", sim_->error().c_str());
      return false;
    }
    link_ = std::make_unique<SerOutPort>(linkPath_);
    if (link_->isBad()) {
      return false;
    }
    link_->setwait(9);
    gui_ = std::make_unique<LocalGUI>();
    vcr_ = std::make_unique<LocalVCR>(*link_, false, *gui_);
    vcr_->setSleeper(std::make_shared<ShortSettleSleeper>(options_.settleMs));
    vcr_->setLineSink([](const std::string&) {});
    gui_->attach(*vcr_);
    gui_->show();
    vcr_->GetTC();
    QTest::qWait(500);  // a few polls before the first trial
    return true;
  }

  void close() {
    if (gui_) {
      gui_->close();
    }
    vcr_.reset();
    gui_.reset();
    link_.reset();
    sim_.reset();
  }

  // One trial: start the situation, press Stop while it runs, answer the latency in ms (or a
  // negative value when the stop frame never came).
  double trial(int situation, bool escape) {
    const std::int64_t start = nowUs();
    switch (situation) {
      case 0:
        click("bscript");
        if (!waitFrame(kPlay, start)) {
          return -1;
        }
        QTest::qWait(randomMs(50, 400));
        break;
      case 1: {
        std::vector<std::pair<std::string, std::string>> clips;
        for (int i = 0; i < 5; ++i) {
          clips.emplace_back(tc(30 + i * 60), tc(60 + i * 60));
        }
        vcr_->postRun([v = vcr_.get(), clips] { v->reviewall(clips, [](const std::string&) {}); });
        QTest::qWait(randomMs(100, 3000));
        break;
      }
      case 2:
        vcr_->setCueText(tc(30));
        vcr_->setEndText(tc(30 * 20));
        click("breview");
        if (!waitFrame(kPlay, start)) {
          return -1;
        }
        QTest::qWait(randomMs(100, 500));
        break;
      case 3:
        click("bjogf");
        if (!waitFrame(kJogF, start)) {
          return -1;
        }
        QTest::qWait(randomMs(20, 400));
        break;
    }
    const std::int64_t pressed = nowUs();
    if (escape) {
      QTest::keyClick(gui_.get(), Qt::Key_Escape);
    } else {
      click("bstop");
    }
    std::int64_t stopUs = -1;
    const bool stopped =
        QTest::qWaitFor([&] { return (stopUs = tail_.firstIn(kStop, pressed)) >= 0; }, 5000);
    // Settle before the next trial: the worker drained, no cue thread left.
    const bool settled = QTest::qWaitFor(
        [this] {
          return vcr_->workerIdle() &&
                 gui_->findChild<QPushButton*>(QStringLiteral("bcue"))->isEnabled();
        },
        15000);
    if (!settled) {
      std::fprintf(stderr, "trial %d: the deck did not settle\n", situation);
    }
    QTest::qWait(100);
    return stopped ? (stopUs - pressed) / 1000.0 : -1;
  }

  // The emulator goes; another comes on the same link. Answers ms from its appearance to its
  // first timecode on the display.
  double portReturn(int n) {
    sim_.reset();
    if (!QTest::qWaitFor([this] { return link_->isLost(); }, 10000)) {
      return -1;
    }
    QTest::qWait(randomMs(0, 1000));  // the return falls anywhere in the retry second
    // Each deck starts somewhere else on the tape: 01:05:00:00, 01:10:00:00, ...
    char start[16];
    std::snprintf(start, sizeof start, "01:%02d:00:00", (n * 5 + 5) % 60);
    sim_ = std::make_unique<DeckSimChild>(
        options_.decksim, transcriptPath_,
        std::vector<std::string>{"--deck", "vtr", "--start", start, "--link", linkPath_});
    tail_.restart();
    const std::int64_t back = nowUs();
    if (!sim_->ok()) {
      return -1;
    }
    const QString prefix = QString::fromLatin1(start, 6);
    if (!QTest::qWaitFor([&] { return tcField()->text().startsWith(prefix); }, 10000)) {
      return -1;
    }
    return (nowUs() - back) / 1000.0;
  }

 private:
  QLineEdit* tcField() { return gui_->findChild<QLineEdit*>(QStringLiteral("tcfield")); }
  void click(const char* name) {
    QTest::mouseClick(gui_->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
  }
  bool waitFrame(const char* hex, std::int64_t since) {
    return QTest::qWaitFor([&] { return tail_.firstIn(hex, since) >= 0; }, 15000);
  }
  int randomMs(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  static std::string tc(int frames) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d:%02d", frames / 108000, frames / 1800 % 60,
                  frames / 30 % 60, frames % 30);
    return buf;
  }

  Options options_;
  fs::path dir_;
  std::string linkPath_;
  std::string transcriptPath_;
  TranscriptTail tail_;
  std::mt19937 rng_{12345};
  std::unique_ptr<DeckSimChild> sim_;
  std::unique_ptr<SerOutPort> link_;
  std::unique_ptr<LocalGUI> gui_;
  std::unique_ptr<LocalVCR> vcr_;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  Options o;
  if (!parse(argc, argv, o)) {
    return 2;
  }
  const fs::path dir =
      fs::temp_directory_path() / ("orva-bench-takeover-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path old = fs::current_path();
  fs::current_path(dir);  // the script file is looked up in the working directory
  std::ofstream("Script.txt") << "Play\nWait600\nStop\n";

  ControllerApp::resetDefaults();
  ControllerApp::stoponexit = false;
  ControllerApp::useclipboard = false;
  std::printf("load average at start: %s\n", loadAverage().c_str());
  int status = 0;
  {
    Bench bench(o, dir);
    if (!bench.open()) {
      return 1;
    }
    const char* names[] = {"script waits", "RevALL runs", "review plays to its out point",
                           "600 ms jog sequence"};
    for (int s = 0; s < 4; ++s) {
      std::vector<double> byPress[2];
      int lost = 0;
      for (int i = 0; i < 2 * o.trials; ++i) {
        const bool escape = i % 2 == 1;
        const double ms = bench.trial(s, escape);
        if (ms < 0) {
          ++lost;
        } else {
          byPress[escape ? 1 : 0].push_back(ms);
        }
      }
      std::vector<double> all = byPress[0];
      all.insert(all.end(), byPress[1].begin(), byPress[1].end());
      std::printf(
          "Stop while %s:\n  button  %s\n  Escape  %s\n  both    %s%s\n", names[s],
          SampleStats(byPress[0]).summary("ms", 1).c_str(),
          SampleStats(byPress[1]).summary("ms", 1).c_str(),
          SampleStats(all).summary("ms", 1).c_str(),
          lost > 0 ? ("  (" + std::to_string(lost) + " without a stop frame)").c_str() : "");
      std::fflush(stdout);
      status |= lost > 0 || SampleStats(all).percentile(99) >= 60.0 ? 1 : 0;
    }
    std::vector<double> returns;
    for (int i = 0; i < o.returns; ++i) {
      const double ms = bench.portReturn(i);
      if (ms >= 0) {
        returns.push_back(ms);
      }
    }
    std::printf("port back to the new deck's first timecode on the display: %s (%d of %d)\n",
                SampleStats(returns).summary("ms", 0).c_str(), static_cast<int>(returns.size()),
                o.returns);
    status |= static_cast<int>(returns.size()) < o.returns ||
                      SampleStats(returns).percentile(100) >= 2000.0
                  ? 1
                  : 0;
    bench.close();
  }
  std::printf("load average at end: %s\n", loadAverage().c_str());
  fs::current_path(old);
  std::error_code ec;
  fs::remove_all(dir, ec);
  return status;
}
