// The session server over real sockets, in front of the controller driving orva-decksim.
#include <gtest/gtest.h>

#include <regex>

#include "remote/support/RemoteFixture.h"
#include "remote/support/TestClient.h"

class SessionTest : public RemoteFixture {};

TEST_F(SessionTest, WordsRepliesAndErrors) {
  ASSERT_TRUE(open());
  TestClient c(session->port());
  ASSERT_TRUE(c.connected());
  EXPECT_TRUE(logged("Remote session: client 127.0.0.1:"));
  EXPECT_TRUE(eventually([&] { return view.shown("Remote client 127.0.0.1:"); }, 3000));
  struct Case {
    std::string line;
    std::string reply;  // a regular expression
  };
  const Case cases[] = {
      {"Play", "OK"},
      {"GetTC", "\\d\\d:\\d\\d:\\d\\d:\\d\\d"},
      {"Status", "[A-Za-z ]*"},
      {"Wait 5", "ERROR Wait needs a whole number of seconds, got \" 5\""},
      {"Wait0", "OK"},
      {"tc1xx:00:00:00", "OK"},
      {"CueIn", "ERROR Cue point \"xx:00:00:00\" has a non-digit at position 0.*"},
      {"play", "ERROR unknown command"},
      {"", "ERROR unknown command"},
      {std::string("Pl\0ay", 5), "ERROR not a text line"},
      {"\xC3\x28\xFF", "ERROR not a text line"},
      {std::string(1025, 'A'), "ERROR line longer than 1024 bytes"},
      {"Stop\r", "OK"},  // CR LF from a telnet-style client ends the line as LF does
  };
  for (const Case& k : cases) {
    ASSERT_TRUE(c.send(k.line + "\n"));
    const std::string reply = c.line();
    EXPECT_TRUE(std::regex_match(reply, std::regex(k.reply)))
        << k.line.substr(0, 20) << " -> " << reply;
  }
  // Both transport words reached the deck, in order; nothing from the failed lines did.
  EXPECT_TRUE(received("20 00 20"));
  const auto f = framesIn();
  const auto play = std::find(f.begin(), f.end(), "20 01 21");
  ASSERT_NE(play, f.end());
  EXPECT_NE(std::find(play, f.end(), "20 00 20"), f.end());
  EXPECT_EQ(std::count_if(f.begin(), f.end(),
                          [](const std::string& h) { return h.rfind("24 31", 0) == 0; }),
            0);
}

TEST_F(SessionTest, OneClientAtATimeAndAVanishedClientFreesItsPlace) {
  ASSERT_TRUE(open());
  auto first = std::make_unique<TestClient>(session->port());
  ASSERT_TRUE(first->connected());
  ASSERT_TRUE(first->send("GetTC\n"));
  ASSERT_NE(first->line()[0], '<');
  TestClient second(session->port());
  EXPECT_EQ(second.line(), "ERROR another client is connected");
  EXPECT_TRUE(second.closedByServer());
  EXPECT_TRUE(logged("refused: another client is connected"));
  // A long wait holds the first session; the client goes mid-command.
  ASSERT_TRUE(first->send("Wait3600\n"));
  ASSERT_TRUE(eventually([&] { return !vcr->workerIdle(); }, 3000));
  first.reset();
  EXPECT_TRUE(logged("disconnected"));
  // Its place and the worker are free again at once.
  EXPECT_TRUE(eventually([&] { return vcr->workerIdle(); }, 1000));
  TestClient third(session->port());
  ASSERT_TRUE(third.send("Play\n"));
  EXPECT_EQ(third.line(2000), "OK");
}

TEST_F(SessionTest, TransportWordTakesOverARunningScript) {
  ASSERT_TRUE(open());
  // A run of the window's (a script waiting an hour) is on the worker.
  vcr->postRun([this] { vcr->DelayT(3600000); });
  ASSERT_TRUE(eventually([&] { return !vcr->workerIdle(); }, 3000));
  TestClient c(session->port());
  ASSERT_TRUE(c.send("Stop\n"));
  EXPECT_EQ(c.line(3000), "OK");
  EXPECT_TRUE(received("20 00 20"));
}

TEST_F(SessionTest, AllowListClosesOtherAddressesAtOnce) {
  ASSERT_TRUE(open("vtr", "127.0.0.1/32"));
  TestClient stranger(session->port(), "127.0.0.2");
  ASSERT_TRUE(stranger.connected());
  EXPECT_TRUE(stranger.closedByServer(2000));
  EXPECT_TRUE(logged("client 127.0.0.2:"));
  EXPECT_TRUE(logged("refused: address not allowed"));
  TestClient local(session->port());
  ASSERT_TRUE(local.send("Wait0\n"));
  EXPECT_EQ(local.line(), "OK");
}
