#include "remote/HyperDeckPort.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "app/ControllerApp.h"
#include "deck/BcdTimecode.h"
#include "deck/CommandTable.h"
#include "deck/LocalVCR.h"

namespace {

constexpr const char* kEnd = "\r\n";
constexpr int kMaxSpeed = 5000;   // percent of play speed, either way
constexpr int kWindSpeed = 1600;  // what fast forward and rewind report

std::string code(int c) {
  const char* text = "internal error";
  switch (c) {
    case 100:
      text = "syntax error";
      break;
    case 101:
      text = "unsupported parameter";
      break;
    case 102:
      text = "invalid value";
      break;
    case 103:
      text = "unsupported";
      break;
    case 109:
      text = "out of range";
      break;
    case 111:
      text = "remote control disabled";
      break;
    case 120:
      text = "connection rejected";
      break;
    case 200:
      text = "ok";
      break;
    default:
      break;
  }
  return std::to_string(c) + " " + text + kEnd;
}

std::string field(const char* name, const std::string& value) {
  return std::string(name) + ": " + value + kEnd;
}

std::optional<bool> flag(const std::string& v) {
  if (v == "true" || v == "True" || v == "TRUE") {
    return true;
  }
  if (v == "false" || v == "False" || v == "FALSE") {
    return false;
  }
  return std::nullopt;
}

std::optional<int> integer(const std::string& v) {
  std::size_t i = (!v.empty() && (v[0] == '-' || v[0] == '+')) ? 1 : 0;
  if (i == v.size() || v.size() > 9) {
    return std::nullopt;
  }
  for (std::size_t k = i; k < v.size(); ++k) {
    if (v[k] < '0' || v[k] > '9') {
      return std::nullopt;
    }
  }
  return std::atoi(v.c_str());
}

// "hh:mm:ss:ff" or "hh:mm:ss;ff" (either separator, whatever the rate) at the room's frame
// rate. Answers the label's frame count, or nothing when the label does not exist at that rate
// (frame 27 at 25 frames/s, 00:01:00;00 at drop-frame), so no client can name a frame the
// room does not have.
std::optional<int> timecodeFrames(const std::string& v, TimecodeRate rate) {
  if (v.size() != 11 || v[2] != ':' || v[5] != ':' || (v[8] != ':' && v[8] != ';')) {
    return std::nullopt;
  }
  int part[4];
  for (int p = 0; p < 4; ++p) {
    const char a = v[p * 3];
    const char b = v[p * 3 + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') {
      return std::nullopt;
    }
    part[p] = (a - '0') * 10 + (b - '0');
  }
  const TimecodeRate::Fields f{part[0], part[1], part[2], part[3]};
  if (f.hours > 23 || !rate.exists(f)) {
    return std::nullopt;
  }
  return rate.count(f);
}

// The shuttle speed byte N for a speed in percent: speed = 10^(N/32 - 2) x play.
int shuttleByte(int percent) {
  const int a = std::abs(percent);
  if (a == 0) {
    return 0;
  }
  const int n = static_cast<int>(std::lround(32.0 * std::log10(static_cast<double>(a))));
  return n < 1 ? 1 : n;
}

}  // namespace

HyperDeckPort::HyperDeckPort(LocalVCR& vcr, int port, AddressFilter filter, Log log, int maxClients)
    : TcpServer("HyperDeck", port, std::move(filter), code(120), maxClients, std::move(log)),
      vcr_(vcr),
      lx1_(ControllerApp::getlx1()),
      rate_(ControllerApp::getframerate()),
      videoFormat_(ControllerApp::getvideoformat()) {}

HyperDeckPort::~HyperDeckPort() {
  stop();
}

std::string HyperDeckPort::model() const {
  const char* kind = lx1_                        ? "LX1"
                     : ControllerApp::getzarix() ? "ZARIX"
                     : ControllerApp::getlanc()  ? "LANC"
                                                 : "VTR";
  return std::string("ORVA ") + kind + " Bridge";
}

void HyperDeckPort::onConnect(ClientId id) {
  Session& s = sessions_[id];
  s.lastCommand = std::chrono::steady_clock::now();
  s.sent = current();
  vcr_.ShowStat("HyperDeck client " + peer(id) + " connected (" + countText() + ")");
  send(id, std::string("500 connection info:") + kEnd +
               field("protocol version", kProtocolVersion) + field("model", model()) + kEnd);
}

void HyperDeckPort::onDisconnect(ClientId) {
  // The session itself goes on the next tick: a hook may still be using it now.
  vcr_.ShowStat("HyperDeck client disconnected (" + countText() + ")");
}

void HyperDeckPort::onLine(ClientId id, const LineReader::Line& line) {
  Session& s = sessions_[id];
  s.lastCommand = std::chrono::steady_clock::now();
  if (line.oversize) {
    s.parser = HyperDeckParser();
    send(id, code(100));
    return;
  }
  const auto command = s.parser.line(line.text);
  if (!command) {
    return;
  }
  send(id, answer(s, *command));
  if (command->name == "quit" && command->error == 0) {
    closeAfterReplies(id, "quit");
  }
}

HyperDeckPort::Transport HyperDeckPort::current() const {
  Transport t;
  t.timecode = vcr_.tcText();
  if (t.timecode.size() != 11) {
    t.timecode = rate_.text(0);
  }
  t.status = "stopped";
  const auto data = vcr_.getstatusdata();
  if (!data) {
    return t;
  }
  const auto& d = *data;
  t.mounted = (d[0] & 0x20) == 0;
  const bool reverse = (d[2] & 0x04) != 0;
  const int commanded = commandedSpeed_ != 0 ? std::abs(commandedSpeed_) : 100;
  if (d[1] & 0x02) {
    t.status = "record";
    t.speed = 100;
  } else if (d[2] & 0x02) {
    t.status = "stopped";  // still: paused on a frame
  } else if (d[2] & 0x20) {
    t.status = "shuttle";
    t.speed = reverse ? -commanded : commanded;
  } else if (d[2] & 0x10) {
    t.status = "jog";
  } else if (d[2] & 0x08) {
    t.status = "play";
    t.speed = reverse ? -commanded : commanded;
  } else if (d[1] & 0x01) {
    t.status = "play";
    t.speed = 100;
  } else if (d[1] & 0x04) {
    t.status = "forward";
    t.speed = kWindSpeed;
  } else if (d[1] & 0x08) {
    t.status = "rewind";
    t.speed = -kWindSpeed;
  } else if (d[4] & 0x01) {
    t.status = "jog";  // winding to a cue point
  } else if (d[4] & 0xC0) {
    t.status = "preview";
  }
  return t;
}

std::string HyperDeckPort::transportBlock(int c, const Transport& t) const {
  return std::to_string(c) + " transport info:" + kEnd + field("status", t.status) +
         field("speed", std::to_string(t.speed)) + field("slot id", t.mounted ? "1" : "none") +
         field("display timecode", t.timecode) + field("timecode", t.timecode) +
         field("clip id", "none") + field("video format", videoFormat_) + field("loop", "false") +
         field("single clip", "false") + kEnd;
}

std::string HyperDeckPort::slotBlock(int c, const Transport& t) const {
  return std::to_string(c) + " slot info:" + kEnd + field("slot id", "1") +
         field("status", t.mounted ? "mounted" : "empty") +
         field("volume name", t.mounted ? "Cassette" : "none") + field("recording time", "0") +
         field("video format", videoFormat_) + kEnd;
}

void HyperDeckPort::onTick() {
  // Sessions of clients that have gone are dropped here, after every hook has run.
  const auto connected = clients();
  for (auto it = sessions_.begin(); it != sessions_.end();) {
    it = std::find(connected.begin(), connected.end(), it->first) == connected.end()
             ? sessions_.erase(it)
             : std::next(it);
  }
  if (sessions_.empty()) {
    return;
  }
  // One look at the deck for every client, so all hear of the same change.
  const Transport t = current();
  const auto now = std::chrono::steady_clock::now();
  for (const ClientId id : connected) {
    Session& s = sessions_[id];
    if (s.watchdogSeconds > 0 && now - s.lastCommand > std::chrono::seconds(s.watchdogSeconds)) {
      closeClient(id, "watchdog: no command for " + std::to_string(s.watchdogSeconds) + " s");
      continue;
    }
    if (s.parser.inBlock()) {
      continue;  // notifications never cut into a command the client is still sending
    }
    std::string out;
    if (s.notifyTransport && (t.status != s.sent.status || t.speed != s.sent.speed)) {
      out += transportBlock(508, t);
    }
    if (s.notifySlot && t.mounted != s.sent.mounted) {
      out += slotBlock(502, t);
    }
    if (s.notifyTimecode && t.timecode != s.sent.timecode) {
      out += std::string("513 display timecode:") + kEnd + field("display timecode", t.timecode) +
             kEnd;
    }
    s.sent = t;
    if (!out.empty()) {
      send(id, out);
    }
  }
}

void HyperDeckPort::transport(std::function<void()> action, int speed) {
  commandedSpeed_ = speed;
  vcr_.takeover(std::move(action));
}

std::string HyperDeckPort::answer(Session& s, const HyperDeckParser::Command& c) {
  if (c.error != 0) {
    return code(c.error);
  }
  const std::string& n = c.name;
  const bool query = c.params.empty();
  if (n == "ping") {
    return code(200);
  }
  if (n == "quit") {
    return code(200);
  }
  if (n == "watchdog") {
    if (const std::string* p = c.param("period")) {
      const auto seconds = integer(*p);
      if (!seconds || *seconds < 0 || *seconds > 3600) {
        return code(102);
      }
      s.watchdogSeconds = *seconds;
    }
    return code(200);
  }
  if (n == "device info") {
    return std::string("204 device info:") + kEnd + field("protocol version", kProtocolVersion) +
           field("model", model()) + field("unique id", "orva-" + std::to_string(port())) +
           field("slot count", "1") + field("software version", "2.0") + kEnd;
  }
  if (n == "transport info") {
    return transportBlock(208, current());
  }
  if (n == "slot info") {
    if (const std::string* p = c.param("slot id"); p != nullptr && *p != "1") {
      return code(102);
    }
    return slotBlock(202, current());
  }
  if (n == "clips get") {
    return std::string("205 clips info:") + kEnd + field("clip count", "0") + kEnd;
  }
  if (n == "clips count") {
    return std::string("214 clips count:") + kEnd + field("clip count", "0") + kEnd;
  }
  if (n == "configuration") {
    if (!query) {
      return code(103);
    }
    return std::string("211 configuration:") + kEnd + field("audio input", "embedded") +
           field("video input", "SDI") + field("file format", "none") + kEnd;
  }
  if (n == "remote") {
    if (query) {
      return std::string("210 remote info:") + kEnd +
             field("enabled", s.remoteEnabled ? "true" : "false") + field("override", "false") +
             kEnd;
    }
    for (const auto& [k, v] : c.params) {
      const auto b = flag(v);
      if (!b) {
        return code(102);
      }
      if (k == "enable") {
        s.remoteEnabled = *b;
      }
    }
    return code(200);
  }
  if (n == "notify") {
    return notify(s, c);
  }
  if (n == "help" || n == "?") {
    return std::string("201 help:") + kEnd +
           "ping, quit, watchdog, device info, slot info, transport info, notify" + kEnd +
           "play, stop, record, goto timecode, jog timecode, shuttle, preview" + kEnd +
           "remote, configuration, clips get, clips count" + kEnd + kEnd;
  }
  const bool changesDeck = n == "play" || n == "stop" || n == "record" || n == "goto" ||
                           n == "jog" || n == "shuttle" || n == "preview";
  if (changesDeck && !s.remoteEnabled) {
    return code(111);
  }
  LocalVCR& v = vcr_;
  if (n == "stop") {
    transport([&v] { v.stop(); }, 0);
    return code(200);
  }
  if (n == "record") {
    transport([&v] { v.record(); }, 100);
    return code(200);
  }
  if (n == "play") {
    return play(c);
  }
  if (n == "shuttle") {
    return shuttle(c);
  }
  if (n == "goto") {
    return moveTo(c, false);
  }
  if (n == "jog") {
    return moveTo(c, true);
  }
  if (n == "preview") {
    const std::string* p = c.param("enable");
    const auto b = p != nullptr ? flag(*p) : std::nullopt;
    if (!b) {
      return code(p == nullptr ? 100 : 102);
    }
    const DeckCommand* word = CommandTable::forLine(*b ? "EEOn" : "EEOff", lx1_);
    if (word == nullptr) {
      return code(103);  // the deck kind has no E-E
    }
    transport([&v, run = word->run] { (v.*run)(); }, 0);
    return code(200);
  }
  if (HyperDeckParser::paramsOf(n) != nullptr) {
    return code(103);  // known to the protocol, not offered by a tape deck
  }
  return code(100);
}

std::string HyperDeckPort::notify(Session& s, const HyperDeckParser::Command& c) {
  const auto tf = [](bool b) { return b ? "true" : "false"; };
  if (c.params.empty()) {
    return std::string("209 notify:") + kEnd + field("transport", tf(s.notifyTransport)) +
           field("slot", tf(s.notifySlot)) + field("remote", tf(s.notifyRemote)) +
           field("configuration", tf(s.notifyConfiguration)) +
           field("display timecode", tf(s.notifyTimecode)) + kEnd;
  }
  for (const auto& [k, v] : c.params) {
    if (!flag(v)) {
      return code(102);
    }
  }
  for (const auto& [k, v] : c.params) {
    const bool b = *flag(v);
    if (k == "transport") {
      s.notifyTransport = b;
    } else if (k == "slot") {
      s.notifySlot = b;
    } else if (k == "remote") {
      s.notifyRemote = b;
    } else if (k == "configuration") {
      s.notifyConfiguration = b;
    } else if (k == "display timecode") {
      s.notifyTimecode = b;
    }
  }
  // Changes count from what the client can see now.
  s.sent = current();
  return code(200);
}

std::string HyperDeckPort::play(const HyperDeckParser::Command& c) {
  int speed = 100;
  if (const std::string* p = c.param("speed")) {
    const auto s = integer(*p);
    if (!s) {
      return code(102);
    }
    speed = *s;
  }
  for (const char* key : {"loop", "single clip"}) {
    if (const std::string* p = c.param(key); p != nullptr && !flag(*p)) {
      return code(102);
    }
  }
  if (c.param("clip id") || c.param("start") || c.param("end") || c.param("duration")) {
    return code(103);  // a tape has no clips to play ranges of
  }
  if (std::abs(speed) > kMaxSpeed) {
    return code(109);
  }
  LocalVCR& v = vcr_;
  if (lx1_) {
    // The LX1 plays or pauses, forward only: the nearer of the two.
    if (speed < 0) {
      return code(109);
    }
    if (speed >= 50) {
      transport([&v] { v.play(); }, 100);
    } else {
      transport([&v] { v.pause(); }, 0);
    }
    return code(200);
  }
  if (speed == 100) {
    transport([&v] { v.play(); }, speed);
  } else if (speed == 0) {
    transport([&v] { v.pause(); }, speed);
  } else {
    // The deck's fixed speeds run as its buttons do; any other speed is a shuttle.
    const std::pair<int, const char*> fixed[] = {
        {20, "Slow5"}, {33, "Slow3"}, {50, "Slow2"}, {200, "Fast2"}, {500, "Fast5"}};
    for (const auto& [percent, word] : fixed) {
      if (speed == percent) {
        const DeckCommand* entry = CommandTable::forLine(word, lx1_);
        transport([&v, run = entry->run] { (v.*run)(); }, speed);
        return code(200);
      }
    }
    const int byte = shuttleByte(speed);
    if (speed > 0) {
      transport([&v, byte] { v.shutfwd(byte); }, speed);
    } else {
      transport([&v, byte] { v.shutrev(byte); }, speed);
    }
  }
  return code(200);
}

std::string HyperDeckPort::shuttle(const HyperDeckParser::Command& c) {
  int speed = 0;  // a bare "shuttle" is speed 0, as older clients send it
  if (const std::string* p = c.param("speed")) {
    const auto s = integer(*p);
    if (!s) {
      return code(102);
    }
    speed = *s;
  }
  if (std::abs(speed) > kMaxSpeed) {
    return code(109);
  }
  const DeckCommand* entry = CommandTable::forButton("ShuttleFwd");
  if (!CommandTable::offered(entry->buttonDecks, lx1_)) {
    return code(103);  // no shuttle on this deck kind
  }
  LocalVCR& v = vcr_;
  const int byte = shuttleByte(speed);
  if (speed >= 0) {
    transport([&v, byte] { v.shutfwd(byte); }, speed);
  } else {
    transport([&v, byte] { v.shutrev(byte); }, speed);
  }
  return code(200);
}

std::string HyperDeckPort::moveTo(const HyperDeckParser::Command& c, bool jog) {
  // A jog moves the deck by jog frames, which the LX1 does not have.
  if (jog && CommandTable::forLine("JogF", lx1_) == nullptr) {
    return code(103);
  }
  const std::string* p = c.param("timecode");
  if (p == nullptr) {
    return code(c.params.empty() ? 100 : 103);  // clips and timeline positions: no tape has them
  }
  std::string text = *p;
  int sign = 0;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    sign = text[0] == '+' ? 1 : -1;
    text.erase(0, 1);
  }
  // The deck's position and the client's label count in the same frames: the room's.
  const auto frames = timecodeFrames(text, rate_);
  if (!frames) {
    return code(102);
  }
  int target = *frames;
  if (sign != 0) {
    target = vcr_.gettcframes() + sign * *frames;
    if (target < 0 || target >= 24 * rate_.framesPerHour()) {
      return code(109);
    }
  }
  const std::string tc = rate_.text(target);
  // Cueing runs on the operator worker; its progress shows in the transport notifications.
  LocalVCR& v = vcr_;
  vcr_.post([&v, tc] { v.cueto(tc); });
  return code(200);
}
