#include "sim/DeckSimChild.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "sim/SimTimecode.h"

extern char** environ;

DeckSimChild::DeckSimChild(const std::string& program, const std::string& transcriptPath,
                           const std::vector<std::string>& extraArgs)
    : transcriptPath_(transcriptPath) {
  int fds[2];
  if (::pipe(fds) != 0) {
    error_ = "pipe failed";
    return;
  }
  // Quiet: a status line would mix into the output of a test or benchmark run at a terminal.
  std::vector<std::string> argv{program, "--quiet", "--transcript", transcriptPath};
  argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> cargs;
  for (auto& a : argv) {
    cargs.push_back(a.data());
  }
  cargs.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  const int rc = posix_spawn(&pid_, cargs[0], &actions, nullptr, cargs.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  out_ = fds[0];
  if (rc != 0) {
    pid_ = -1;
    error_ = "cannot start " + program;
    return;
  }
  // The first output line is the terminal's path.
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) {
      continue;
    }
    char c;
    if (::read(out_, &c, 1) != 1) {
      break;
    }
    if (c == '\n') {
      slave_ = line;
      return;
    }
    line.push_back(c);
  }
  error_ = program + " printed no terminal path";
}

DeckSimChild::~DeckSimChild() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (out_ >= 0) {
    ::close(out_);
  }
}

double DeckSimChild::cpuSeconds() const {
  std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
  std::string text;
  std::getline(in, text);
  // Fields after the command name (which sits in parentheses and may hold blanks).
  const auto close = text.rfind(')');
  if (close == std::string::npos) {
    return 0;
  }
  std::istringstream fields(text.substr(close + 2));
  std::string f;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> f; ++i) {
    if (i == 14) {
      utime = std::stoull(f);
    } else if (i == 15) {
      stime = std::stoull(f);
    }
  }
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::vector<DeckSimChild::Line> DeckSimChild::transcript() const {
  return readTranscript(transcriptPath_);
}

std::vector<DeckSimChild::Line> DeckSimChild::readTranscript(const std::string& path) {
  std::vector<Line> lines;
  std::ifstream in(path);
  std::string text;
  while (std::getline(in, text)) {
    std::istringstream fields(text);
    Line l;
    if (!(fields >> l.us >> l.tag)) {
      continue;
    }
    l.in = l.tag == "IN";
    std::getline(fields >> std::ws, l.hex);
    lines.push_back(l);
  }
  return lines;
}

std::vector<std::uint8_t> DeckSimChild::bytesOf(const std::string& hex) {
  std::istringstream in(hex);
  std::vector<std::uint8_t> bytes;
  unsigned v = 0;
  while (in >> std::hex >> v) {
    bytes.push_back(static_cast<std::uint8_t>(v));
  }
  return bytes;
}

int DeckSimChild::framesOfReply(const std::string& hex) {
  const auto b = bytesOf(hex);
  if (b.size() != 7 || b[0] != 0x74 || b[1] != 0x04) {
    return -1;
  }
  return SimTimecode::fromBcd(std::span<const std::uint8_t, 4>(&b[2], 4));
}
