#include "soak/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "soak/support/WaitUntil.h"

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Options& options) {
  int out[2] = {-1, -1};
  if (argv.empty() || ::pipe2(out, O_CLOEXEC) != 0) {
    return;
  }
  // Everything the child needs is prepared before fork: after it only async-signal-safe calls.
  std::vector<char*> args;
  for (const auto& a : argv) {
    args.push_back(const_cast<char*>(a.c_str()));
  }
  args.push_back(nullptr);
  const std::string errPath = options.stderrPath.empty() ? "/dev/null" : options.stderrPath;

  pid_ = ::fork();
  if (pid_ == 0) {
    if (::chdir(options.dir.c_str()) != 0) {
      ::_exit(127);
    }
    for (const auto& [name, value] : options.env) {
      if (value.empty()) {
        ::unsetenv(name.c_str());
      } else {
        ::setenv(name.c_str(), value.c_str(), 1);
      }
    }
    const int in = ::open("/dev/null", O_RDONLY);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(out[1]);
  if (pid_ < 0) {
    ::close(out[0]);
    return;
  }
  out_ = out[0];
}

ChildProcess::~ChildProcess() {
  if (running()) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) {
    ::close(out_);
  }
}

bool ChildProcess::reap() {
  if (status_) {
    return true;
  }
  int st = 0;
  if (::waitpid(pid_, &st, WNOHANG) == pid_) {
    status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    termSignal_ = WIFSIGNALED(st) ? WTERMSIG(st) : 0;
  }
  return status_.has_value();
}

bool ChildProcess::running() {
  return pid_ > 0 && !reap();
}

void ChildProcess::signal(int signo) const {
  if (pid_ > 0 && !status_) {
    ::kill(pid_, signo);
  }
}

std::optional<int> ChildProcess::waitExit(std::chrono::milliseconds limit) {
  if (pid_ > 0) {
    waitUntil([this] { return reap(); }, limit);
  }
  return status_;
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds limit) {
  std::string line;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (out_ >= 0 && std::chrono::steady_clock::now() < end) {
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, 50) > 0) {
      char c;
      if (::read(out_, &c, 1) != 1) {
        return std::nullopt;
      }
      if (c == '\n') {
        return line;
      }
      line += c;
    }
  }
  return std::nullopt;
}
