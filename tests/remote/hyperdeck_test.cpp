// A HyperDeck client written from the protocol's facts, against the server in front of the
// controller driving orva-decksim: what a control surface sends on connect, then the transport.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <regex>
#include <thread>

#include "remote/HyperDeckParser.h"
#include "remote/support/RemoteFixture.h"
#include "remote/support/TestClient.h"

namespace {
const std::string kModel = "model: ORVA VTR Bridge\r\n";
}

class HyperDeckTest : public RemoteFixture {};

TEST_F(HyperDeckTest, ConnectsAndPollsAsAControlSurfaceDoes) {
  ASSERT_TRUE(open());
  TestClient c(hyperdeck->port());
  EXPECT_EQ(c.block(), "500 connection info:\r\nprotocol version: 1.11\r\n" + kModel + "\r\n");
  // Each exchange: what the client sends, and the reply as a pattern over the whole block.
  const std::pair<std::string, std::string> steps[] = {
      {"watchdog:\r\nperiod: 6\r\n\r\n", "200 ok\r\n"},
      {"notify:\r\nremote: true\r\ntransport: true\r\nslot: true\r\nconfiguration: true\r\n"
       "display timecode: false\r\n\r\n",
       "200 ok\r\n"},
      {"notify\r\n",
       "209 notify:\r\ntransport: true\r\nslot: true\r\nremote: true\r\nconfiguration: "
       "true\r\ndisplay timecode: false\r\n\r\n"},
      {"device info\r\n", "204 device info:\r\nprotocol version: 1\\.11\r\n" + kModel +
                              "unique id: orva-\\d+\r\nslot count: 1\r\nsoftware version: "
                              "2\\.0\r\n\r\n"},
      {"slot info:\r\nslot id: 1\r\n\r\n",
       "202 slot info:\r\nslot id: 1\r\nstatus: mounted\r\nvolume name: Cassette\r\nrecording "
       "time: 0\r\nvideo format: NTSC\r\n\r\n"},
      {"transport info\r\n",
       "208 transport info:\r\nstatus: stopped\r\nspeed: 0\r\nslot id: 1\r\ndisplay timecode: "
       "(\\d\\d:\\d\\d:\\d\\d:\\d\\d)\r\ntimecode: \\1\r\nclip id: none\r\nvideo format: "
       "NTSC\r\nloop: false\r\nsingle clip: false\r\n\r\n"},
      {"configuration\r\n",
       "211 configuration:\r\naudio input: embedded\r\nvideo input: SDI\r\nfile format: "
       "none\r\n\r\n"},
      {"remote\r\n", "210 remote info:\r\nenabled: true\r\noverride: false\r\n\r\n"},
      {"clips get\r\n", "205 clips info:\r\nclip count: 0\r\n\r\n"},
      {"ping\r\n", "200 ok\r\n"},
      {"transport info\r\n", "208 transport info:\r\nstatus: stopped\r\n(.*\r\n)*\r\n"},
      {"frobnicate\r\n", "100 syntax error\r\n"},
      {"play: speed: fast\r\n", "102 invalid value\r\n"},
      {"play: speed: 9000\r\n", "109 out of range\r\n"},
      {"play: tempo: 3\r\n", "101 unsupported parameter\r\n"},
      {"goto: clip id: 2\r\n", "103 unsupported\r\n"},
      {std::string(1100, 'x') + "\r\n", "100 syntax error\r\n"},
  };
  for (const auto& [request, reply] : steps) {
    ASSERT_TRUE(c.send(request));
    // Lines and blocks come back byte for byte as the server wrote them.
    const std::string got = reply.find(':') == std::string::npos ? c.line() + "\n" : c.block();
    EXPECT_TRUE(std::regex_match(got, std::regex(reply))) << request.substr(0, 30) << " -> " << got;
  }
  // No command reached the deck.
  for (const auto& f : framesIn()) {
    EXPECT_TRUE(f == "41 36 00 77" || f.rfind("61 ", 0) == 0) << f;
  }
}

TEST_F(HyperDeckTest, DrivesTheDeckAndReportsChanges) {
  ASSERT_TRUE(open());
  TestClient c(hyperdeck->port());
  c.block();
  ASSERT_TRUE(c.send("notify: transport: true\r\n"));
  ASSERT_EQ(c.line(), "200 ok\r");
  using Clock = std::chrono::steady_clock;
  // Each command answers at once, even the cue; the frame follows on the wire.
  const std::pair<std::string, std::string> commands[] = {
      {"play:\r\nspeed: 100\r\nloop: false\r\nsingle clip: false\r\n\r\n", "20 01 21"},
      {"goto:\r\ntimecode: 00:01:00:00\r\n\r\n", "24 31 00 00 01 00 56"},
      {"shuttle:\r\nspeed: 500\r\n\r\n", "21 13 56 8A"},  // 10^(86/32 - 2) x play: about 5x
      {"shuttle: speed: -100\r\n", "21 23 40 84"},
      {"stop\r\n", "20 00 20"},
  };
  bool sawPlay = false;
  for (const auto& [request, frame] : commands) {
    const auto t0 = Clock::now();
    ASSERT_TRUE(c.send(request));
    // 5xx notifications may come first; the reply is the first 200.
    ASSERT_TRUE(c.readUntil("200 ok\r\n"));
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(500)) << request;
    EXPECT_TRUE(received(frame)) << frame;
    if (!sawPlay) {
      // A 508 block reports the play the deck now does, with its exact framing.
      ASSERT_TRUE(
          c.readUntil("508 transport info:\r\nstatus: play\r\nspeed: 100\r\nslot id: 1\r\n"
                      "display timecode: "));
      sawPlay = true;
    }
  }
  EXPECT_TRUE(c.readUntil("508 transport info:\r\nstatus: stopped\r\n", 5000));
}

TEST_F(HyperDeckTest, RefusesASecondClientAndFreesAVanishedOnesPlace) {
  ASSERT_TRUE(open());
  auto first = std::make_unique<TestClient>(hyperdeck->port());
  first->block();
  TestClient second(hyperdeck->port());
  EXPECT_EQ(second.line(), "120 connection rejected\r");
  EXPECT_TRUE(second.closedByServer());
  // Half a block command, then the client is gone.
  ASSERT_TRUE(first->send("play:\r\nspeed: 100\r\n"));
  first.reset();
  EXPECT_TRUE(logged("HyperDeck: client 127.0.0.1:"));
  EXPECT_TRUE(logged("disconnected"));
  TestClient third(hyperdeck->port());
  EXPECT_EQ(third.block().substr(0, 22), "500 connection info:\r\n");
  ASSERT_TRUE(third.send("quit\r\n"));
  EXPECT_EQ(third.line(), "200 ok\r");
  EXPECT_TRUE(third.closedByServer());
}

TEST_F(HyperDeckTest, Lx1HasNoJogOrShuttle) {
  ASSERT_TRUE(open("lx1"));
  TestClient c(hyperdeck->port());
  c.block();
  for (const char* request : {"jog: timecode: +00:00:00:01\r\n", "shuttle: speed: 200\r\n",
                              "preview: enable: true\r\n"}) {
    ASSERT_TRUE(c.send(request));
    EXPECT_EQ(c.line(), "103 unsupported\r") << request;
  }
}

// Every label a client reads or sends counts at the room's frame rate, and the deck lands on
// the label asked for; a label the rate does not have moves nothing.
TEST_F(HyperDeckTest, CountsTimecodeAtTheRoomsRate) {
  struct Move {
    std::string command;
    std::string lands;  // the label the deck rests on
  };
  struct Room {
    std::string fps;  // orva-decksim's --fps
    TimecodeRate rate;
    std::string start;
    std::string format;
    std::vector<Move> moves;
    std::vector<std::string> missing;  // labels the rate does not have
  };
  using K = TimecodeRate::Kind;
  const Room rooms[] = {
      {"25",
       TimecodeRate(K::Fps25),
       "00:00:50:00",
       "PAL",
       {{"jog: timecode: +00:00:01:00", "00:00:51:00"},
        {"jog: timecode: -00:00:00:24", "00:00:50:01"},
        {"jog: timecode: 00:00:49:24", "00:00:49:24"},
        {"goto: timecode: 00:01:00:10", "00:01:00:10"}},
       {"00:00:10:25", "00:00:10:27"}},
      {"24",
       TimecodeRate(K::Fps24),
       "00:00:50:00",
       "1080p24",
       {{"jog: timecode: +00:00:00:23", "00:00:50:23"},
        {"goto: timecode: 00:00:59:23", "00:00:59:23"},
        {"jog: timecode: +00:00:00:01", "00:01:00:00"}},
       {"00:00:10:24"}},
      {"29.97df",
       TimecodeRate(K::Fps2997Df),
       "00:00:59:20",
       "NTSC",
       {{"jog: timecode: +00:00:00:20", "00:01:00;12"},
        {"jog: timecode: -00:00:00;11", "00:00:59;29"},
        {"goto: timecode: 00:10:00:00", "00:10:00;00"},
        {"jog: timecode: 00:02:00;02", "00:02:00;02"}},
       {"00:01:00;00", "00:02:00:01", "00:00:10;30"}},
  };
  const std::regex tc("display timecode: (\\d\\d):(\\d\\d):(\\d\\d)([:;])(\\d\\d)\r\n");
  for (const Room& room : rooms) {
    SCOPED_TRACE(room.fps);
    ASSERT_TRUE(open("vtr", "", 1, {"--fps", room.fps, "--start", room.start}, room.rate));
    TestClient c(hyperdeck->port());
    c.block();
    // Reports: a label that exists at the rate, with the rate's separator, and its format.
    ASSERT_TRUE(c.send("transport info\r\n"));
    const std::string info = c.block();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(info, m, tc)) << info;
    const TimecodeRate::Fields f{std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]),
                                 std::stoi(m[5])};
    EXPECT_TRUE(room.rate.exists(f)) << info;
    EXPECT_EQ(m[4], std::string(1, room.rate.separator()));
    EXPECT_NE(info.find("video format: " + room.format + "\r\n"), std::string::npos) << info;
    for (const Move& move : room.moves) {
      ASSERT_TRUE(c.send(move.command + "\r\n"));
      ASSERT_EQ(c.line(), "200 ok\r") << move.command;
      EXPECT_TRUE(eventually([&] { return vcr->tcText() == move.lands; }, 8000))
          << move.command << " rests at " << vcr->tcText() << ", want " << move.lands;
    }
    const auto cues = [&] {
      const auto in = framesIn();
      return std::count_if(in.begin(), in.end(),
                           [](const std::string& h) { return h.rfind("24 31", 0) == 0; });
    };
    const auto before = cues();
    for (const std::string& label : room.missing) {
      for (const char* verb : {"goto", "jog"}) {
        ASSERT_TRUE(c.send(std::string(verb) + ": timecode: " + label + "\r\n"));
        EXPECT_EQ(c.line(), "102 invalid value\r") << verb << " " << label;
      }
    }
    ASSERT_TRUE(c.send("ping\r\n"));
    ASSERT_EQ(c.line(), "200 ok\r");
    EXPECT_EQ(cues(), before) << "a refused label sent a cue";
    // The session reports the same label.
    TestClient s(session->port());
    ASSERT_TRUE(s.send("GetTC\n"));
    EXPECT_EQ(s.line(), room.moves.back().lands);
    c.close();
    s.close();
    TearDown();
  }
}

TEST(HyperDeckParserTest, OneLineAndBlockFormsAgree) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"play: speed: 200 loop: true single clip: false"},
       "play|speed=200|loop=true|single clip=false"},
      {{"PLAY:", "Speed: 200", "loop: true", "single clip: false", ""},
       "play|speed=200|loop=true|single clip=false"},
      {{"transport info"}, "transport info"},
      {{"record: name: my clip 1"}, "record|name=my clip 1"},
      {{"goto: timecode: -00:00:10:00"}, "goto|timecode=-00:00:10:00"},
      {{"notify: display timecode: true transport: true"},
       "notify|display timecode=true|transport=true"},
      {{"shuttle: velocity: 2"}, "shuttle|!101"},
      {{"play:", "speed 100", ""}, "play|!100"},
      {{"", "ping"}, "ping"},
  };
  for (const auto& [lines, expected] : cases) {
    HyperDeckParser p;
    std::optional<HyperDeckParser::Command> got;
    for (const auto& l : lines) {
      if (auto c = p.line(l)) {
        got = c;
      }
    }
    ASSERT_TRUE(got) << expected;
    std::string text = got->name;
    for (const auto& [k, v] : got->params) {
      text += "|" + k + "=" + v;
    }
    if (got->error != 0) {
      text = got->name + "|!" + std::to_string(got->error);
    }
    EXPECT_EQ(text, expected);
  }
}

// A switcher keeps its connection open and polls; a panel sends commands. Each hears of what
// the other did, the deck gets both clients' commands in order, and a third is refused.
TEST_F(HyperDeckTest, SwitcherAndPanelShareTheDeck) {
  ASSERT_TRUE(open("vtr", "", 2));
  TestClient switcher(hyperdeck->port());
  TestClient panel(hyperdeck->port());
  for (TestClient* c : {&switcher, &panel}) {
    ASSERT_EQ(c->block().substr(0, 22), "500 connection info:\r\n");
    ASSERT_TRUE(c->send("notify: transport: true\r\n"));
    ASSERT_EQ(c->line(), "200 ok\r");
  }
  // The log and the status line count the clients.
  EXPECT_TRUE(logged("; 2 clients connected"));
  EXPECT_TRUE(eventually([&] { return view.shown("HyperDeck client 127.0.0.1:"); }, 3000));

  TestClient third(hyperdeck->port());
  EXPECT_EQ(third.line(), "120 connection rejected\r");
  EXPECT_TRUE(third.closedByServer());
  EXPECT_TRUE(logged("refused: 2 clients are connected"));

  // The switcher polls every 100 ms while the panel starts play.
  std::atomic<bool> polling{true};
  std::atomic<int> polls{0};
  std::string heard;  // the poller's alone until it has ended
  std::thread poller([&] {
    while (polling.load()) {
      if (!switcher.send("transport info\r\n")) {
        return;
      }
      ++polls;
      heard += switcher.collect(100);
    }
  });
  ASSERT_TRUE(panel.send("play\r\n"));
  EXPECT_TRUE(panel.readUntil("200 ok\r\n"));
  EXPECT_TRUE(received("20 01 21"));
  EXPECT_TRUE(panel.readUntil("508 transport info:\r\nstatus: play\r\n", 5000));
  const int before = polls.load();
  EXPECT_TRUE(eventually([&] { return polls.load() >= before + 3; }, 3000));
  polling.store(false);
  poller.join();
  heard += switcher.collect(200);
  EXPECT_NE(heard.find("508 transport info:\r\nstatus: play\r\n"), std::string::npos) << heard;
  std::size_t replies = 0;
  for (std::size_t at = 0; (at = heard.find("208 transport info:", at)) != std::string::npos;
       ++at) {
    ++replies;
  }
  EXPECT_EQ(static_cast<int>(replies), polls.load());

  // The switcher stops the deck; the panel hears of it.
  ASSERT_TRUE(switcher.send("stop\r\n"));
  EXPECT_TRUE(switcher.readUntil("200 ok\r\n"));
  EXPECT_TRUE(panel.readUntil("508 transport info:\r\nstatus: stopped\r\n", 5000));
  const auto f = framesIn();
  const auto play = std::find(f.begin(), f.end(), "20 01 21");
  EXPECT_NE(std::find(play, f.end(), "20 00 20"), f.end());
}

// A client that sends and never reads its replies is dropped; the other client's replies keep
// coming meanwhile.
TEST_F(HyperDeckTest, ClientThatStopsReadingIsDroppedWithoutDelayingOthers) {
  ASSERT_TRUE(open("vtr", "", 2));
  TestClient stuck(hyperdeck->port());
  TestClient other(hyperdeck->port());
  other.block();
  std::string flood;
  for (int i = 0; i < 40000; ++i) {
    flood += "transport info\r\n";
  }
  // Floods follow one another until the server drops the client, whatever the system buffers.
  std::thread sender([&] {
    while (stuck.send(flood)) {
    }
  });
  using Clock = std::chrono::steady_clock;
  auto slowest = Clock::duration::zero();
  const auto deadline = Clock::now() + std::chrono::seconds(15);
  while (!logged("not reading its replies", 0) && Clock::now() < deadline) {
    const auto t0 = Clock::now();
    ASSERT_TRUE(other.send("ping\r\n"));
    ASSERT_EQ(other.line(), "200 ok\r");
    slowest = std::max(slowest, Clock::now() - t0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(logged("not reading its replies", 0));
  EXPECT_LT(slowest, std::chrono::milliseconds(1000));
  stuck.socket().shutdownBoth();  // ends the sender's flood if the server has not
  sender.join();
  EXPECT_TRUE(eventually([&] { return hyperdeck->clientCount() == 1; }, 3000));
}

TEST_F(HyperDeckTest, ConnectsOverTheIpv6Loopback) {
  ASSERT_TRUE(open());
  if (hyperdeck->endpoints().size() < 2) {
    GTEST_SKIP() << "no IPv6 loopback on this system";
  }
  EXPECT_EQ(hyperdeck->endpoints()[1], "[::1]:" + std::to_string(hyperdeck->port()));
  TestClient c("::1", hyperdeck->port());
  ASSERT_TRUE(c.connected());
  EXPECT_EQ(c.block().substr(0, 22), "500 connection info:\r\n");
  EXPECT_TRUE(logged("HyperDeck: client [::1]:"));
  TestClient session("::1", this->session->port());
  ASSERT_TRUE(session.send("GetTC\n"));
  EXPECT_TRUE(std::regex_match(session.line(), std::regex("\\d\\d:\\d\\d:\\d\\d:\\d\\d")));
}

// Loopback on both families by default; a family's wildcard address only when RemoteAllow
// names a network of that family.
TEST_F(HyperDeckTest, ListensBeyondLoopbackOnlyForTheFamiliesAllowed) {
  ASSERT_TRUE(open());
  if (hyperdeck->endpoints().size() < 2) {
    GTEST_SKIP() << "no IPv6 loopback on this system";
  }
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"", {"127.0.0.1", "[::1]"}},
      {"10.0.0.0/8", {"0.0.0.0", "[::1]"}},
      {"fd00::/8", {"127.0.0.1", "[::]"}},
      {"10.0.0.7, fd00::/8", {"0.0.0.0", "[::]"}},
  };
  for (const auto& [allow, addresses] : cases) {
    std::string bad;
    HyperDeckPort server(*vcr, 0, *AddressFilter::parse(allow, bad), nullptr, 1);
    ASSERT_TRUE(server.start()) << allow;
    const std::string port = ":" + std::to_string(server.port());
    EXPECT_EQ(server.endpoints(),
              (std::vector<std::string>{addresses[0] + port, addresses[1] + port}))
        << allow;
  }
}
