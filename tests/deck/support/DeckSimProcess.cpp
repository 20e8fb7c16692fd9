#include "deck/support/DeckSimProcess.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

std::string DeckSimProcess::binaryPath() {
  return std::string(ORVA_BINARY_DIR) + "/sim/orva-decksim";
}

DeckSimProcess::DeckSimProcess(const std::vector<std::string>& args,
                               const std::string& transcriptPath)
    : transcriptPath_(transcriptPath) {
  int fds[2];
  if (::pipe(fds) != 0) {
    error_ = "pipe failed";
    return;
  }
  std::vector<std::string> argv{binaryPath(), "--transcript", transcriptPath};
  argv.insert(argv.end(), args.begin(), args.end());
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
    error_ = "cannot start " + binaryPath();
    return;
  }
  // The first line of its output is the terminal's path; wait for it with a deadline.
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
  error_ = "orva-decksim printed no terminal path";
}

DeckSimProcess::~DeckSimProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (out_ >= 0) {
    ::close(out_);
  }
  std::error_code ec;
  std::filesystem::remove(transcriptPath_, ec);
}

std::vector<DeckSimProcess::Line> DeckSimProcess::transcript() const {
  std::vector<Line> lines;
  std::ifstream in(transcriptPath_);
  std::string text;
  while (std::getline(in, text)) {
    std::istringstream fields(text);
    Line l;
    std::string dir;
    if (!(fields >> l.us >> dir)) {
      continue;
    }
    l.in = dir == "IN";
    std::getline(fields >> std::ws, l.hex);
    lines.push_back(l);
  }
  return lines;
}
