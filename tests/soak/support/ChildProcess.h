#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A program started for a test. Standard output goes to a pipe the test can read line by line,
// standard error to a file (or /dev/null). A process still running when the object goes is
// killed (SIGKILL) and reaped, so a failed test never leaves one behind.
class ChildProcess {
 public:
  struct Options {
    std::string dir;                                       // working folder
    std::vector<std::pair<std::string, std::string>> env;  // set; an empty value unsets
    std::string stderrPath;                                // empty: /dev/null
  };

  ChildProcess(const std::vector<std::string>& argv, const Options& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // True until the process has been seen to end (it is reaped then).
  bool running();
  void signal(int signo) const;

  // The exit status once the process has ended within the limit; -1 when a signal ended it.
  std::optional<int> waitExit(std::chrono::milliseconds limit);
  // The signal that ended the process, 0 when it exited or still runs.
  int termSignal() const { return termSignal_; }

  // The next line of standard output within the limit.
  std::optional<std::string> readLine(std::chrono::milliseconds limit);

 private:
  bool reap();

  pid_t pid_ = -1;
  int out_ = -1;
  std::optional<int> status_;
  int termSignal_ = 0;
};
