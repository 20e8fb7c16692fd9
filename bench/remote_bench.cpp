// The remote servers against orva-decksim, on the real polling controller:
//  - remote command to frame on the wire (the emulator's transcript), both servers; the
//    HyperDeck one with a second client connected that polls "transport info" every 100 ms and
//    hears the notifications, as a switcher does;
//  - "transport info" reply time while the deck is polled;
//  - the poll cycle (gap between timecode requests on the wire) while idle and while a client
//    floods the HyperDeck port with 10,000 commands as fast as it can.
//   orva_bench_remote [samples]
// With --connect the servers of a program already running are measured instead (orva.exe under
// Wine, on an orva-decksim started with --transcript): command to frame only.
//   orva_bench_remote --connect HYPERDECKPORT SESSIONPORT TRANSCRIPT [samples]
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "app/ControllerApp.h"
#include "bench/RecordingView.h"
#include "bench/SampleStats.h"
#include "deck/LocalVCR.h"
#include "remote/HyperDeckPort.h"
#include "remote/RemotePort.h"
#include "remote/Socket.h"
#include "serial/SerOutPort.h"
#include "sim/DeckSimChild.h"

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t nowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
      .count();
}

// Reads up to and including `text`; false after 5 s.
bool readUntil(const Socket& s, std::string& buffer, const std::string& text) {
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  for (;;) {
    const auto at = buffer.find(text);
    if (at != std::string::npos) {
      buffer.erase(0, at + text.size());
      return true;
    }
    if (Clock::now() > deadline || !s.waitReadable(100)) {
      if (Clock::now() > deadline) {
        return false;
      }
      continue;
    }
    char data[8192];
    const int n = s.receive(data, sizeof data);
    if (n == 0 || n == -2) {
      return false;
    }
    if (n > 0) {
      buffer.append(data, static_cast<std::size_t>(n));
    }
  }
}

using Transcript = std::function<std::vector<DeckSimChild::Line>()>;

// The time from each send to the frame's IN line in the transcript, in ms.
std::vector<double> commandToFrame(const Transcript& transcript, const Socket& s,
                                   std::string& buffer, const std::string& play,
                                   const std::string& stop, const std::string& ok, int samples) {
  std::vector<double> out;
  for (int i = 0; i < samples; ++i) {
    const bool isPlay = i % 2 == 0;
    const std::string frame = isPlay ? "20 01 21" : "20 00 20";
    const std::size_t before = transcript().size();
    const std::int64_t sent = nowUs();
    s.sendAll(isPlay ? play : stop);
    readUntil(s, buffer, ok);
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (Clock::now() < deadline) {
      const auto t = transcript();
      const auto it = std::find_if(t.begin() + static_cast<long>(std::min(before, t.size())),
                                   t.end(), [&](const auto& l) { return l.in && l.hex == frame; });
      if (it != t.end()) {
        out.push_back((it->us - sent) / 1000.0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
  }
  return out;
}

std::vector<double> pollGaps(const std::vector<DeckSimChild::Line>& lines, std::int64_t from,
                             std::int64_t to) {
  std::vector<std::int64_t> at;
  for (const auto& l : lines) {
    if (l.in && l.hex == "61 0C 03 70" && l.us >= from && l.us <= to) {
      at.push_back(l.us);
    }
  }
  std::vector<double> gaps;
  for (std::size_t i = 1; i < at.size(); ++i) {
    gaps.push_back((at[i] - at[i - 1]) / 1000.0);
  }
  return gaps;
}

// A second HyperDeck client as a switcher keeps it: notifications on, "transport info" every
// 100 ms, everything it is sent read and dropped. Runs until the object goes.
class Switcher {
 public:
  Switcher(const std::string& address, int port) : socket_(Socket::connectTo(address, port)) {
    socket_.sendAll("notify: transport: true\r\n");
    thread_ = std::thread([this] {
      auto next = Clock::now();
      char data[8192];
      while (running_.load()) {
        if (Clock::now() >= next) {
          socket_.sendAll("transport info\r\n");
          next += std::chrono::milliseconds(100);
        }
        if (socket_.waitReadable(10)) {
          if (socket_.receive(data, sizeof data) == 0) {
            return;
          }
        }
      }
    });
  }
  ~Switcher() {
    running_.store(false);
    thread_.join();
  }
  bool connected() const { return socket_.valid(); }

 private:
  Socket socket_;
  std::atomic<bool> running_{true};
  std::thread thread_;
};

// Command to frame against servers already running (--connect).
int measureRunning(int hyperDeckPort, int sessionPort, const std::string& transcriptPath,
                   int samples) {
  const Transcript transcript = [&] { return DeckSimChild::readTranscript(transcriptPath); };
  {
    Socket s = Socket::connectTo("127.0.0.1", sessionPort);
    if (!s.valid()) {
      std::cerr << "no session server on port " << sessionPort << "\n";
      return 1;
    }
    std::string buffer;
    const SampleStats st(
        commandToFrame(transcript, s, buffer, "Play\n", "Stop\n", "OK\n", samples));
    std::cout << "session command to frame:   " << st.summary("ms") << "\n";
  }
  Switcher switcher("127.0.0.1", hyperDeckPort);
  Socket hd = Socket::connectTo("127.0.0.1", hyperDeckPort);
  if (!hd.valid() || !switcher.connected()) {
    std::cerr << "no HyperDeck server on port " << hyperDeckPort << "\n";
    return 1;
  }
  std::string hb;
  readUntil(hd, hb, "\r\n\r\n");
  const SampleStats st(
      commandToFrame(transcript, hd, hb, "play\r\n", "stop\r\n", "200 ok\r\n", samples));
  std::cout << "HyperDeck command to frame, a second client polling: " << st.summary("ms") << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5 && std::string(argv[1]) == "--connect") {
    return measureRunning(std::atoi(argv[2]), std::atoi(argv[3]), argv[4],
                          argc > 5 ? std::atoi(argv[5]) : 100);
  }
  const int samples = argc > 1 ? std::atoi(argv[1]) : 200;
  ControllerApp::resetDefaults();
  ControllerApp::lx1 = false;
  ControllerApp::stoponexit = false;
  const std::string transcript = (std::filesystem::temp_directory_path() /
                                  ("orva-remote-bench-" + std::to_string(::getpid()) + ".txt"))
                                     .string();
  DeckSimChild sim(ORVA_DECKSIM_PATH, transcript, {"--deck", "vtr"});
  if (!sim.ok()) {
    std::cerr << sim.error() << "\n";
    return 1;
  }
  SerOutPort link(sim.slavePath());
  link.setwait(9);
  RecordingView view;
  LocalVCR vcr(link, false, view);
  vcr.setLineSink([](const std::string&) {});
  vcr.GetTC();
  std::string bad;
  const auto filter = *AddressFilter::parse("", bad);
  RemotePort session(vcr, 0, filter, nullptr);
  HyperDeckPort hyperdeck(vcr, 0, filter, nullptr, 2);
  session.start();
  hyperdeck.start();
  std::this_thread::sleep_for(std::chrono::seconds(1));

  {
    Socket s = Socket::connectTo("127.0.0.1", session.port());
    std::string buffer;
    const SampleStats st(commandToFrame([&sim] { return sim.transcript(); }, s, buffer, "Play\n",
                                        "Stop\n", "OK\n", samples));
    std::cout << "session command to frame:   " << st.summary("ms") << "\n";
  }
  Socket hd = Socket::connectTo("127.0.0.1", hyperdeck.port());
  std::string hb;
  readUntil(hd, hb, "\r\n\r\n");
  {
    Switcher switcher("127.0.0.1", hyperdeck.port());
    const SampleStats st(commandToFrame([&sim] { return sim.transcript(); }, hd, hb, "play\r\n",
                                        "stop\r\n", "200 ok\r\n", samples));
    std::cout << "HyperDeck command to frame, a second client polling: " << st.summary("ms")
              << "\n";
  }
  {
    std::vector<double> reply;
    for (int i = 0; i < samples * 5; ++i) {
      const auto t0 = Clock::now();
      hd.sendAll("transport info\r\n");
      readUntil(hd, hb, "single clip: false\r\n\r\n");
      reply.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::cout << "transport info reply:       " << SampleStats(reply).summary("ms", 3) << "\n";
  }
  {
    // Idle polling first, then the same time with the flood running.
    const std::int64_t idleFrom = nowUs();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    // One flood of 10,000 commands takes well under a poll cycle here, so floods follow one
    // another for as long as the idle sample ran.
    const std::int64_t floodFrom = nowUs();
    std::string burst;
    for (int i = 0; i < 10000; ++i) {
      burst += "transport info\r\n";
    }
    int floods = 0;
    while (nowUs() - floodFrom < 5000000) {
      std::thread reader([&] {
        for (int i = 0; i < 10000; ++i) {
          if (!readUntil(hd, hb, "single clip: false\r\n\r\n")) {
            break;
          }
        }
      });
      hd.sendAll(burst);
      reader.join();
      ++floods;
    }
    const std::int64_t floodTo = nowUs();
    const auto lines = sim.transcript();
    const SampleStats idle(pollGaps(lines, idleFrom, floodFrom));
    const SampleStats flood(pollGaps(lines, floodFrom, floodTo));
    std::cout << "poll cycle idle:            " << idle.summary("ms") << "\n";
    std::cout << "poll cycle during flood:    " << flood.summary("ms") << "  (" << floods
              << " floods of 10,000 commands in " << (floodTo - floodFrom) / 1000 << " ms)\n";
  }
  session.stop();
  hyperdeck.stop();
  vcr.close();
  std::filesystem::remove(transcript);
  return 0;
}
