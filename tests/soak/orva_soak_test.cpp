// Runs the real orva program for a long time against orva-decksim with every line fault the
// emulator can make switched on (late, swallowed, corrupted, split replies and stray bytes), then
// lets the emulator hang up near the end. The program must stay up with flat memory, keep polling
// at its cadence, pick the timecode up again after every fault, stay quiet on the dead line and
// still close cleanly on SIGTERM.
//
// ORVA_SOAK_SECONDS sets the length of the run (default 600; at least 20).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "soak/support/ChildProcess.h"
#include "soak/support/ProcStats.h"
#include "soak/support/SoakAnalysis.h"
#include "soak/support/TranscriptFollower.h"
#include "soak/support/WaitUntil.h"
#include "support/TempFolder.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string kOrva = ORVA_BINARY_DIR "/app/orva";
const std::string kDeckSim = ORVA_BINARY_DIR "/sim/orva-decksim";

// The emulator's faults. The reply delay sits just under the controller's 9 ms reply wait, so a
// busy machine and every split reply (parts 1 ms apart) push replies past it.
constexpr int kReplyDelayMs = 8;
constexpr int kSplitEvery = 7;
constexpr int kCorruptEvery = 13;
constexpr int kGarbageEvery = 17;
constexpr double kDropProb = 0.03;
constexpr int kSeed = 4242;
constexpr int kControllerWaitMs = 9;

// The controller asks for the time every 35 ms plus its 9 ms wait and for the status every
// eighth cycle: about 25 frames a second when the machine keeps up, fewer when it is busy (the
// hang-up then comes later, which the waits below allow for).
constexpr double kFramesPerSecond = 25.0;

constexpr long kRssGrowthLimitKb = 2048;
constexpr double kTailCpuLimit = 0.10;  // share of one core while the line is dead
constexpr std::int64_t kPollGapLimitUs = 500000;
constexpr std::int64_t kRecoveryLimitUs = 1000000;

const std::vector<std::uint8_t> kPlay = {0x20, 0x01, 0x21};
const std::vector<std::uint8_t> kTimeRequest = {0x61, 0x0C, 0x03, 0x70};

bool executable(const std::string& path) {
  return ::access(path.c_str(), X_OK) == 0;
}

int soakSeconds() {
  const char* text = std::getenv("ORVA_SOAK_SECONDS");
  if (text == nullptr || *text == '\0') {
    return 600;
  }
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v <= 0) {
    return 600;
  }
  return static_cast<int>(std::clamp(v, 20L, 24L * 3600));
}

std::string settings(const std::string& port) {
  return "COMPort = " + port +
         "\nVCRType = VTR\nUserNote = soak\nUseClipboard = NO\nStopOnExit = YES\nVerbose = NO\n";
}

// Puts the deck into play before the controller opens the line, so the tape time runs through
// the whole soak. The reply (and any stray bytes) is read and the input flushed, so the
// controller's first read does not find it.
bool startPlay(const std::string& slave, TranscriptFollower& transcript) {
  const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  bool ok = ::write(fd, kPlay.data(), kPlay.size()) == static_cast<ssize_t>(kPlay.size());
  // The emulator logs the frame, then its reply (OUT) or that it swallowed it (LOST).
  ok = ok && waitUntil(
                 [&] {
                   transcript.poll();
                   const auto& ev = transcript.events();
                   for (std::size_t i = 0; i + 1 < ev.size(); ++i) {
                     if (ev[i].tag == "IN" && ev[i].bytes == kPlay) {
                       return std::any_of(ev.begin() + static_cast<long>(i) + 1, ev.end(),
                                          [](const TranscriptEvent& e) {
                                            return e.tag == "OUT" || e.tag == "LOST";
                                          });
                     }
                   }
                   return false;
                 },
                 5s);
  // Read until the line has been quiet for 100 ms (split parts come 1 ms apart).
  for (pollfd p{fd, POLLIN, 0}; ::poll(&p, 1, 100) > 0; p.revents = 0) {
    std::uint8_t buf[64];
    if (::read(fd, buf, sizeof buf) <= 0) {
      break;
    }
  }
  ::tcflush(fd, TCIFLUSH);
  ::close(fd);
  return ok;
}

struct Sample {
  double atS;  // since orva started
  long rssKb;
  double cpuS;
};

std::string lastLine(const std::string& text) {
  std::string t = text;
  while (!t.empty() && t.back() == '\n') {
    t.pop_back();
  }
  const auto nl = t.rfind('\n');
  return nl == std::string::npos ? t : t.substr(nl + 1);
}

int countLines(const std::string& text, const std::string& line) {
  int n = 0;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    n += l == line ? 1 : 0;
  }
  return n;
}

}  // namespace

TEST(OrvaSoak, KeepsPollingThroughLineFaultsAndAHangUpWithFlatMemoryAndClosesCleanly) {
  if (!executable(kOrva) || !executable(kDeckSim)) {
    GTEST_SKIP() << "build orva and orva-decksim first (" << kOrva << ", " << kDeckSim << ")";
  }
  const int seconds = soakSeconds();
  // The dead-line part at the end, and the warm-up before memory counts.
  const int tailS = std::clamp(seconds / 20, 5, 20);
  const int warmupS = std::clamp(seconds / 10, 8, 60);
  // One second of the run goes to the controller's start-up pause.
  const int hangupAfter = static_cast<int>(kFramesPerSecond * (seconds - tailS - 1));

  TempFolder dir("orva-soak");
  ASSERT_FALSE(dir.path().empty());
  const std::string transcriptPath = dir.file("transcript.txt");
  ChildProcess deck({kDeckSim, "--reply-delay", std::to_string(kReplyDelayMs), "--split-every",
                     std::to_string(kSplitEvery), "--corrupt-every", std::to_string(kCorruptEvery),
                     "--garbage-every", std::to_string(kGarbageEvery), "--drop-prob",
                     std::to_string(kDropProb), "--seed", std::to_string(kSeed), "--hangup-after",
                     std::to_string(hangupAfter), "--transcript", transcriptPath},
                    {dir.path(), {}, dir.file("decksim-stderr.txt")});
  ASSERT_TRUE(deck.started());
  const std::optional<std::string> slave = deck.readLine(5s);
  ASSERT_TRUE(slave.has_value()) << "orva-decksim printed no port";

  TranscriptFollower transcript(transcriptPath);
  ASSERT_TRUE(startPlay(*slave, transcript)) << "the deck did not take Play";

  dir.write("ORVASettings.txt", settings(*slave));
  ChildProcess orva({kOrva},
                    {dir.path(), {{"QT_QPA_PLATFORM", "offscreen"}}, dir.file("orva-stderr.txt")});
  ASSERT_TRUE(orva.started());
  const pid_t pid = orva.pid();
  const auto started = Clock::now();
  auto since = [&started] { return std::chrono::duration<double>(Clock::now() - started).count(); };

  ASSERT_TRUE(waitUntil(
      [&] {
        transcript.poll();
        return transcript.count("IN", kTimeRequest) >= 5 || !orva.running();
      },
      15s));
  ASSERT_TRUE(orva.running()) << "orva ended at start-up:\n" << dir.read("ORVALog.txt");
  ASSERT_GE(transcript.count("IN", kTimeRequest), 5u) << dir.read("ORVALog.txt");

  // Samples every 2 s; each wait between them ends early if orva ends, which fails the test.
  std::vector<Sample> samples;
  auto sampleOnce = [&]() -> bool {
    if (waitUntil([&] { return !orva.running(); }, 2s)) {
      return false;
    }
    const auto rss = ProcStats::residentKb(pid);
    const auto cpu = ProcStats::cpuSeconds(pid);
    const auto state = ProcStats::state(pid);
    if (!rss || !cpu || !state || *state == 'Z') {
      return false;
    }
    samples.push_back({since(), *rss, *cpu});
    transcript.poll();
    return true;
  };

  // Faults until the hang-up. A slow machine polls less often, so the hang-up may come later
  // than planned.
  const double hangupLimitS = seconds * 1.5 + 30;
  while (!transcript.sawHangup() && since() < hangupLimitS) {
    ASSERT_TRUE(sampleOnce()) << "orva ended during the soak at " << since() << " s (signal "
                              << orva.termSignal() << ")\n"
                              << lastLine(dir.read("ORVALog.txt"));
  }
  ASSERT_TRUE(transcript.sawHangup()) << "the emulator did not hang up within " << hangupLimitS
                                      << " s; frames: " << transcript.count("IN");
  const double hangupAtS = since();
  const std::size_t logAtHangup = dir.read("ORVALog.txt").size();

  // The dead line: orva stays up and idle.
  const std::size_t tailFirst = samples.size();
  while (since() < hangupAtS + tailS) {
    ASSERT_TRUE(sampleOnce()) << "orva ended after the hang-up at " << since() << " s (signal "
                              << orva.termSignal() << ")\n"
                              << lastLine(dir.read("ORVALog.txt"));
  }
  ASSERT_GE(samples.size(), tailFirst + 2);
  const Sample& tailStart = samples[tailFirst];
  const Sample& tailEnd = samples.back();
  const double tailCpu = (tailEnd.cpuS - tailStart.cpuS) / (tailEnd.atS - tailStart.atS);

  orva.signal(SIGTERM);
  const std::optional<int> status = orva.waitExit(10s);
  EXPECT_TRUE(status.has_value()) << "orva did not end within 10 s of SIGTERM";
  EXPECT_EQ(status.value_or(-2), 0) << "signal " << orva.termSignal();
  EXPECT_EQ(deck.waitExit(5s).value_or(-2), 0) << "the emulator did not end after its hang-up";

  // Memory: after the warm-up, the last sample may exceed the first by a small bound only.
  const auto firstAfterWarmup = std::find_if(samples.begin(), samples.end(),
                                             [&](const Sample& s) { return s.atS >= warmupS; });
  ASSERT_NE(firstAfterWarmup, samples.end()) << "no memory sample after the warm-up";
  const auto [minIt, maxIt] =
      std::minmax_element(firstAfterWarmup, samples.end(),
                          [](const Sample& a, const Sample& b) { return a.rssKb < b.rssKb; });
  const long growthKb = samples.back().rssKb - firstAfterWarmup->rssKb;
  const Sample& hangupSample = samples[tailFirst - 1];
  const double pollingCpu = (hangupSample.cpuS - firstAfterWarmup->cpuS) /
                            std::max(1e-3, hangupSample.atS - firstAfterWarmup->atS);

  const SoakAnalysis analysis(kSplitEvery, kControllerWaitMs);
  transcript.poll();
  const SoakFindings f = analysis.analyse(transcript.events());
  const std::string log = dir.read("ORVALog.txt");
  const int deadWrites =
      countLines(log.substr(std::min(logAtHangup, log.size())), "Unable to write to Serial Port");

  std::cout << "soak: " << seconds << " s planned, hang-up after " << hangupAfter
            << " frames came at " << hangupAtS << " s, closed at " << since() << " s\n"
            << "soak: memory (VmRSS kB, " << samples.size() << " samples, after " << warmupS
            << " s warm-up) first " << firstAfterWarmup->rssKb << " last " << samples.back().rssKb
            << " min " << minIt->rssKb << " max " << maxIt->rssKb << " growth " << growthKb
            << " (very first sample " << samples.front().rssKb << " at " << samples.front().atS
            << " s)\n"
            << "soak: CPU " << pollingCpu * 100 << "% of a core while polling, " << tailCpu * 100
            << "% on the dead line (" << tailEnd.atS - tailStart.atS << " s)\n"
            << "soak: frames " << f.frames << ", time requests " << f.polls << ", replies out "
            << f.replies << ", good time replies " << f.goodTimeReplies << "\n"
            << "soak: faults: lost " << f.lost << ", corrupt " << f.corrupt << ", stray bytes "
            << f.junk << ", split " << f.split << ", past the " << kControllerWaitMs << " ms wait "
            << f.late << "; faulty replies " << f.faultyReplies << ", recovered " << f.recovered
            << ", unrecovered " << f.unrecoveredUs.size() << "\n"
            << "soak: longest recovery " << f.maxRecoveryUs / 1000 << " ms, longest fault run "
            << f.longestFaultRun << " replies (then " << f.pollsAfterLongestRun
            << " more time requests), longest polling gap " << f.maxPollGapUs / 1000 << " ms\n"
            << "soak: tape time " << f.firstTapeFrame.value_or(-1) << " -> "
            << f.lastTapeFrame.value_or(-1) << " frames, backwards " << f.timeBackwards
            << "; frames dropped unfinished " << f.timeouts << "\n"
            << "soak: log lines \"Unable to write to Serial Port\" after the hang-up: "
            << deadWrites << " (" << log.size() - std::min(logAtHangup, log.size()) << " bytes)"
            << std::endl;

  EXPECT_LE(growthKb, kRssGrowthLimitKb) << "resident memory grew over the run";
  EXPECT_LE(tailCpu, kTailCpuLimit) << "orva busy on the dead line";

  // The controller's side of the conversation.
  EXPECT_EQ(transcript.badLines(), 0u);
  ASSERT_GE(transcript.events().size(), 3u);
  EXPECT_EQ(f.timeouts, 0) << "the controller sent frames the deck could not complete";
  EXPECT_LE(f.maxPollGapUs, kPollGapLimitUs)
      << "polling paused at transcript time " << f.maxPollGapAtUs;
  EXPECT_GE(f.polls, static_cast<int>((hangupAtS - 2) * 10)) << "polling far below its cadence";

  // Every fault is followed by a good timecode soon, except those too close to the hang-up.
  EXPECT_GT(f.faultyReplies, 20) << "the faults did not happen";
  EXPECT_GT(f.lost, 0);
  EXPECT_GT(f.corrupt, 0);
  EXPECT_GT(f.junk, 0);
  EXPECT_GT(f.split, 0);
  EXPECT_GT(f.late, 0);
  for (const std::int64_t at : f.unrecoveredUs) {
    EXPECT_GE(at, f.lastFrameUs - kRecoveryLimitUs) << "no good timecode after a fault";
  }
  EXPECT_LE(f.maxRecoveryUs, kRecoveryLimitUs);
  EXPECT_GE(f.longestFaultRun, 2);
  EXPECT_GE(f.pollsAfterLongestRun, 5) << "polling stopped after a run of faults";

  // The deck plays: the tape time only moves forward, at play speed (30 frames a second).
  ASSERT_TRUE(f.firstTapeFrame && f.lastTapeFrame);
  EXPECT_EQ(f.timeBackwards, 0);
  const double expected = (f.lastTimeUs - f.firstTimeUs) / 1e6 * 30;
  EXPECT_NEAR(*f.lastTapeFrame - *f.firstTapeFrame, expected, 2 + expected * 0.01);

  // The log ends with complete lines and no sign of a crash.
  EXPECT_NE(log.find("Serial Port " + *slave + " Opened OK"), std::string::npos) << log;
  EXPECT_NE(log.find("Ready\n"), std::string::npos);
  EXPECT_TRUE(!log.empty() && log.back() == '\n') << "last line: " << lastLine(log);
  const std::string err = dir.read("orva-stderr.txt");
  for (const char* crash : {"terminate called", "what():", "Segmentation", "Aborted",
                            "AddressSanitizer", "runtime error"}) {
    EXPECT_EQ(log.find(crash), std::string::npos) << crash << "\n" << lastLine(log);
    EXPECT_EQ(err.find(crash), std::string::npos) << crash << "\n" << err;
  }
}
