#include "soak/support/ProcStats.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The fields of /proc/<pid>/stat after the command name, which may itself hold blanks and
// parentheses: the fields start after the last ')'. The first one returned is the state.
std::optional<std::vector<std::string>> statFields(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(in, text)) {
    return std::nullopt;
  }
  const auto close = text.rfind(')');
  if (close == std::string::npos) {
    return std::nullopt;
  }
  std::istringstream rest(text.substr(close + 1));
  std::vector<std::string> fields;
  for (std::string f; rest >> f;) {
    fields.push_back(f);
  }
  return fields;
}

}  // namespace

std::optional<long> ProcStats::residentKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("VmRSS:", 0) == 0) {
      std::istringstream value(line.substr(6));
      long kb = 0;
      if (value >> kb) {
        return kb;
      }
    }
  }
  return std::nullopt;
}

std::optional<double> ProcStats::cpuSeconds(pid_t pid) {
  const auto fields = statFields(pid);
  // State is field 3 of the whole line, utime 14 and stime 15: indexes 0, 11 and 12 here.
  if (!fields || fields->size() < 13) {
    return std::nullopt;
  }
  const double ticks = std::stod((*fields)[11]) + std::stod((*fields)[12]);
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::optional<char> ProcStats::state(pid_t pid) {
  const auto fields = statFields(pid);
  if (!fields || fields->empty() || (*fields)[0].empty()) {
    return std::nullopt;
  }
  return (*fields)[0][0];
}
