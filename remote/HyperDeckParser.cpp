#include "remote/HyperDeckParser.h"

#include <algorithm>
#include <map>

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
    s.remove_suffix(1);
  }
  return s;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

// Parameter names contain blanks and nothing separates one pair from the next, so the line is
// split at the names each command accepts.
const std::map<std::string, std::vector<std::string_view>, std::less<>>& commandTable() {
  static const std::map<std::string, std::vector<std::string_view>, std::less<>> table = {
      {"help", {}},
      {"?", {}},
      {"commands", {}},
      {"device info", {}},
      {"ping", {}},
      {"quit", {}},
      {"transport info", {}},
      {"clips count", {}},
      {"stop", {}},
      {"watchdog", {"period"}},
      {"remote", {"enable", "override"}},
      {"notify",
       {"transport", "slot", "remote", "configuration", "dropped frames", "display timecode",
        "timeline position", "playrange", "cache", "dynamic range", "slate", "clips", "disk",
        "device info", "nas"}},
      {"slot info", {"slot id"}},
      {"slot select", {"slot id", "video format"}},
      {"clips get", {"clip id", "count", "version"}},
      {"disk list", {"slot id"}},
      {"play", {"speed", "loop", "single clip", "clip id", "start", "end", "duration"}},
      {"record", {"name", "spill"}},
      {"preview", {"enable"}},
      {"goto", {"clip id", "clip", "timeline", "timecode", "slot id"}},
      {"jog", {"timecode"}},
      {"shuttle", {"speed"}},
      {"configuration",
       {"video input", "audio input", "file format", "audio codec", "timecode input",
        "timecode output", "timecode preset", "audio input channels", "record trigger",
        "record prefix", "append timestamp"}},
  };
  return table;
}

// The longest known parameter name that `rest` starts with, followed by ':'; its length.
std::size_t nameAt(std::string_view rest, const std::vector<std::string_view>& names) {
  std::size_t best = 0;
  for (std::string_view n : names) {
    if (rest.size() > n.size() && rest[n.size()] == ':' && lower(rest.substr(0, n.size())) == n &&
        n.size() > best) {
      best = n.size();
    }
  }
  return best;
}

}  // namespace

const std::string* HyperDeckParser::Command::param(std::string_view key) const {
  for (const auto& [k, v] : params) {
    if (k == key) {
      return &v;
    }
  }
  return nullptr;
}

const std::vector<std::string_view>* HyperDeckParser::paramsOf(std::string_view command) {
  const auto& table = commandTable();
  const auto it = table.find(command);
  return it == table.end() ? nullptr : &it->second;
}

HyperDeckParser::Command HyperDeckParser::parseLine(std::string_view text) {
  Command c;
  text = trim(text);
  const std::size_t colon = text.find(':');
  c.name = lower(trim(text.substr(0, colon)));
  if (colon == std::string_view::npos) {
    return c;
  }
  const auto* names = paramsOf(c.name);
  std::string_view rest = trim(text.substr(colon + 1));
  if (names == nullptr) {
    return c;  // an unknown command: its name decides the answer, not its parameters
  }
  while (!rest.empty()) {
    const std::size_t len = nameAt(rest, *names);
    if (len == 0 || c.params.size() >= kMaxParams) {
      c.error = 101;  // a parameter this command does not take
      return c;
    }
    std::string key = lower(rest.substr(0, len));
    rest = trim(rest.substr(len + 1));
    // The value runs to the next known name followed by ':' after a blank, or to the end.
    std::size_t end = rest.size();
    for (std::size_t i = 0; i < rest.size(); ++i) {
      if (rest[i] == ' ' && nameAt(trim(rest.substr(i)), *names) > 0) {
        end = i;
        break;
      }
    }
    c.params.emplace_back(std::move(key), std::string(trim(rest.substr(0, end))));
    rest = trim(rest.substr(end));
  }
  return c;
}

std::optional<HyperDeckParser::Command> HyperDeckParser::line(std::string_view text) {
  const std::string_view t = trim(text);
  if (block_) {
    if (t.empty()) {
      Command done = std::move(*block_);
      block_.reset();
      return done;
    }
    if (block_->error == 0) {
      const std::size_t colon = t.find(':');
      const auto* names = paramsOf(block_->name);
      if (colon == std::string_view::npos) {
        block_->error = 100;
      } else if (names != nullptr) {
        std::string key = lower(trim(t.substr(0, colon)));
        if (std::find(names->begin(), names->end(), key) == names->end() ||
            block_->params.size() >= kMaxParams) {
          block_->error = 101;
        } else {
          block_->params.emplace_back(std::move(key), std::string(trim(t.substr(colon + 1))));
        }
      }
    }
    return std::nullopt;
  }
  if (t.empty()) {
    return std::nullopt;  // blank lines between commands are ignored
  }
  // "name:" with nothing after it opens a block.
  if (t.back() == ':' && t.find(':') == t.size() - 1) {
    Command c;
    c.name = lower(trim(t.substr(0, t.size() - 1)));
    block_ = std::move(c);
    return std::nullopt;
  }
  return parseLine(t);
}
