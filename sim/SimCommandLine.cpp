#include "sim/SimCommandLine.h"

#include <array>
#include <charconv>

#include "sim/SimTimecode.h"

namespace {

bool toInt(const std::string& text, int min, int& out) {
  int v = 0;
  const auto* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc() || p != end || v < min)
    return false;
  out = v;
  return true;
}

// Four hexadecimal digits, the two bytes of a device type.
bool toDeviceId(const std::string& text, std::array<std::uint8_t, 2>& out) {
  unsigned v = 0;
  const auto* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, v, 16);
  if (text.size() != 4 || ec != std::errc() || p != end)
    return false;
  out = {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v & 0xFF)};
  return true;
}

bool toProbability(const std::string& text, double& out) {
  try {
    std::size_t used = 0;
    const double v = std::stod(text, &used);
    if (used != text.size() || !(v >= 0.0 && v <= 1.0))
      return false;
    out = v;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

std::string SimCommandLine::usage() {
  return "Usage: orva-decksim [options]\n"
         "Serves an emulated RS-422 9-pin deck on a pseudo-terminal; prints its path first.\n"
         "  --deck vtr|lx1|zarix|lanc   kind of deck (all answer the same frames)\n"
         "  --fps 30|29.97df|25|24      frame rate of the tape and its timecode (default 30)\n"
         "  --device-id HHHH            device type answered to 00 11, 4 hex digits (F000)\n"
         "  --start hh:mm:ss:ff         tape position at start (default 00:00:00:00)\n"
         "  --end hh:mm:ss:ff           end of the tape (default 02:00:00:00)\n"
         "  --reply-delay MS            answer every frame this many ms late\n"
         "  --stop-latency N            Stop, Pause and cue-up take effect N frames late (0..100)\n"
         "  --drop-every N              swallow every Nth reply\n"
         "  --drop-prob P --seed S      swallow each reply with probability P (0..1)\n"
         "  --corrupt-every N           send every Nth reply with a wrong checksum\n"
         "  --garbage-every N           send stray bytes before every Nth reply\n"
         "  --split-every N             send every Nth reply in parts about 1 ms apart\n"
         "  --hangup-after N            hang up after answering N frames\n"
         "  --transcript FILE           log every frame in and out to FILE\n"
         "  --link PATH                 PATH links to the terminal until exit\n"
         "  --quiet                     no status line on a terminal's standard error\n"
         "  --realtime                  answer at real-time priority (where allowed), as\n"
         "                              hardware does however busy the computer is\n"
         "  --help                      show this text\n"
         "An ejected cassette stays out until the program is started again.\n";
}

SimCommandLine::Result SimCommandLine::parse(const std::vector<std::string>& args) {
  Result r;
  auto fail = [&r](const std::string& message) {
    r.error = message;
    return r;
  };
  // The times are read at the frame rate, which may come after them.
  std::string start, end;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& opt = args[i];
    if (opt == "--help" || opt == "-h") {
      r.help = true;
      continue;
    }
    if (opt == "--quiet") {
      r.quiet = true;
      continue;
    }
    if (opt == "--realtime") {
      r.realtime = true;
      continue;
    }
    if (opt.rfind("--", 0) != 0)
      return fail("Unknown argument: " + opt);
    if (i + 1 >= args.size())
      return fail("Missing value for " + opt);
    const std::string& value = args[++i];
    auto bad = [&]() { return fail("Bad value for " + opt + ": " + value); };
    EmulatorOptions& o = r.options;
    if (opt == "--deck") {
      if (value == "vtr") {
        o.deck = DeckKind::Vtr;
      } else if (value == "lx1") {
        o.deck = DeckKind::Lx1;
      } else if (value == "zarix") {
        o.deck = DeckKind::Zarix;
      } else if (value == "lanc") {
        o.deck = DeckKind::Lanc;
      } else {
        return bad();
      }
    } else if (opt == "--fps") {
      auto rate = FrameRate::parse(value);
      if (!rate)
        return bad();
      o.rate = *rate;
    } else if (opt == "--device-id") {
      if (!toDeviceId(value, o.deviceId))
        return bad();
    } else if (opt == "--start" || opt == "--end") {
      (opt == "--start" ? start : end) = value;
    } else if (opt == "--reply-delay") {
      if (!toInt(value, 0, o.replyDelayMs))
        return bad();
    } else if (opt == "--stop-latency") {
      if (!toInt(value, 0, o.stopLatencyFrames) || o.stopLatencyFrames > 100)
        return bad();
    } else if (opt == "--drop-every") {
      if (!toInt(value, 0, o.dropEvery))
        return bad();
    } else if (opt == "--drop-prob") {
      if (!toProbability(value, o.dropProb))
        return bad();
    } else if (opt == "--seed") {
      int seed = 0;
      if (!toInt(value, 0, seed))
        return bad();
      o.seed = static_cast<std::uint32_t>(seed);
    } else if (opt == "--corrupt-every") {
      if (!toInt(value, 0, o.corruptEvery))
        return bad();
    } else if (opt == "--garbage-every") {
      if (!toInt(value, 0, o.garbageEvery))
        return bad();
    } else if (opt == "--split-every") {
      if (!toInt(value, 0, o.splitEvery))
        return bad();
    } else if (opt == "--hangup-after") {
      if (!toInt(value, 0, o.hangupAfter))
        return bad();
    } else if (opt == "--transcript") {
      if (value.empty())
        return bad();
      o.transcriptPath = value;
    } else if (opt == "--link") {
      if (value.empty())
        return bad();
      r.linkPath = value;
    } else {
      return fail("Unknown option: " + opt);
    }
  }
  EmulatorOptions& o = r.options;
  auto frameOf = [&o](const std::string& text) { return SimTimecode::parse(text, o.rate); };
  auto notATime = [&](const char* opt, const std::string& text) {
    return fail(std::string("Bad value for ") + opt + ": " + text + " (not a time at " +
                o.rate.name() + " frames/s)");
  };
  if (!start.empty()) {
    const auto frames = frameOf(start);
    if (!frames)
      return notATime("--start", start);
    o.startFrame = *frames;
  }
  if (!end.empty()) {
    const auto frames = frameOf(end);
    if (!frames)
      return notATime("--end", end);
    o.endFrame = *frames;
  }
  if (o.startFrame > o.endFrame.value_or(2 * o.rate.framesPerHour())) {
    return fail("The start lies beyond the end of the tape");
  }
  return r;
}
