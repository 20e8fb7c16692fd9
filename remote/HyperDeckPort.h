#pragma once

#include <chrono>
#include <map>
#include <string>

#include "app/TimecodeRate.h"

#include "remote/HyperDeckParser.h"
#include "remote/TcpServer.h"

class LocalVCR;

// The HyperDeck Ethernet protocol in front of the serial deck, for control surfaces, switchers
// and automation: the greeting, queries answered from the polled deck state, notifications when
// the deck's status or speed changes, and transport commands handed to the operator worker.
// Every command is answered at once, whole and in one write; the deck's own progress (a cue
// winding, a play starting) is reported by the notifications. Several clients at once (a
// switcher and a panel): each has its own notify settings, watchdog and half-read block, and
// each that asked hears of every change, whoever made it.
class HyperDeckPort : public TcpServer {
 public:
  // maxClients: how many clients at once (1 to 8); the next one gets "120 connection rejected".
  HyperDeckPort(LocalVCR& vcr, int port, AddressFilter filter, Log log,
                int maxClients = kDefaultClients);
  ~HyperDeckPort() override;

  static constexpr const char* kProtocolVersion = "1.11";
  static constexpr int kDefaultClients = 4;
  static constexpr int kMaxClients = 8;

 private:
  struct Transport {
    std::string status;
    int speed = 0;
    std::string timecode;
    bool mounted = false;
    bool operator==(const Transport&) const = default;
  };

  // What the protocol keeps per connection.
  struct Session {
    HyperDeckParser parser;
    bool notifyTransport = false;
    bool notifySlot = false;
    bool notifyRemote = false;
    bool notifyConfiguration = false;
    bool notifyTimecode = false;
    bool remoteEnabled = true;
    int watchdogSeconds = 0;
    std::chrono::steady_clock::time_point lastCommand;
    Transport sent;  // what the client last heard about
  };

  void onConnect(ClientId id) override;
  void onLine(ClientId id, const LineReader::Line& line) override;
  void onTick() override;
  void onDisconnect(ClientId id) override;

  std::string answer(Session& s, const HyperDeckParser::Command& c);
  std::string play(const HyperDeckParser::Command& c);
  std::string shuttle(const HyperDeckParser::Command& c);
  std::string moveTo(const HyperDeckParser::Command& c, bool jog);
  std::string notify(Session& s, const HyperDeckParser::Command& c);
  // Hands a transport action to the operator worker as the window's transport buttons do.
  void transport(std::function<void()> action, int speed);

  Transport current() const;
  std::string transportBlock(int code, const Transport& t) const;
  std::string slotBlock(int code, const Transport& t) const;
  std::string model() const;

  LocalVCR& vcr_;
  const bool lx1_;
  const TimecodeRate rate_;        // the room's: every label read or written counts in it
  const std::string videoFormat_;  // what "video format" reports
  std::map<ClientId, Session> sessions_;
  int commandedSpeed_ = 0;  // the shuttle or variable speed last asked for, by any client
};
