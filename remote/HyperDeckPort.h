#pragma once

#include <chrono>
#include <string>

#include "app/TimecodeRate.h"

#include "remote/HyperDeckParser.h"
#include "remote/TcpServer.h"

class LocalVCR;

// The HyperDeck Ethernet protocol in front of the serial deck, for control surfaces, switchers
// and automation: the greeting, queries answered from the polled deck state, notifications when
// the deck's status or speed changes, and transport commands handed to the operator worker.
// Every command is answered at once, whole and in one write; the deck's own progress (a cue
// winding, a play starting) is reported by the notifications.
class HyperDeckPort : public TcpServer {
 public:
  HyperDeckPort(LocalVCR& vcr, int port, AddressFilter filter, Log log);
  ~HyperDeckPort() override;

  static constexpr const char* kProtocolVersion = "1.11";

 private:
  struct Transport {
    std::string status;
    int speed = 0;
    std::string timecode;
    bool mounted = false;
    bool operator==(const Transport&) const = default;
  };

  void onConnect() override;
  void onLine(const LineReader::Line& line) override;
  void onTick() override;
  void onDisconnect() override;

  std::string answer(const HyperDeckParser::Command& c);
  std::string play(const HyperDeckParser::Command& c);
  std::string shuttle(const HyperDeckParser::Command& c);
  std::string moveTo(const HyperDeckParser::Command& c, bool jog);
  std::string notify(const HyperDeckParser::Command& c);
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
  HyperDeckParser parser_;
  // Per connection, as the protocol has them.
  bool notifyTransport_ = false;
  bool notifySlot_ = false;
  bool notifyRemote_ = false;
  bool notifyConfiguration_ = false;
  bool notifyTimecode_ = false;
  bool remoteEnabled_ = true;
  int watchdogSeconds_ = 0;
  std::chrono::steady_clock::time_point lastCommand_;
  Transport sent_;          // what the client last heard about
  int commandedSpeed_ = 0;  // the shuttle or variable speed last asked for
};
