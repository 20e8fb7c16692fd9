#pragma once

#include <sys/types.h>

#include <optional>

// What /proc tells about a running process: its resident memory and the processor time it has
// used. Each read answers nothing once the process is gone.
class ProcStats {
 public:
  // VmRSS from /proc/<pid>/status, in kB.
  static std::optional<long> residentKb(pid_t pid);
  // utime + stime from /proc/<pid>/stat, in seconds.
  static std::optional<double> cpuSeconds(pid_t pid);
  // The state letter from /proc/<pid>/stat ('R', 'S', 'Z' ...).
  static std::optional<char> state(pid_t pid);
};
