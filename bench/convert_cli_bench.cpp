// orva-convert on a 999-line source EDL, run as a separate process many times: the wall time of
// a conversion run, of a run that only prints its help text (process start and exit), and the
// difference, which is the work of loading, converting and saving.
//
//   orva_bench_convert_cli [--runs N] [--convert PATH]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/SampleStats.h"
#include "bench/SourceEdlFile.h"

extern char** environ;

namespace {

// Runs the program with its output on /dev/null; answers the wall time in ms, or -1 on failure.
double runOnce(std::vector<std::string> argv) {
  std::vector<char*> cargs;
  for (auto& a : argv) {
    cargs.push_back(a.data());
  }
  cargs.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const auto t0 = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, cargs[0], &actions, nullptr, cargs.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    return -1;
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  const auto t1 = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return -1;
  }
  return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 100;
  std::string program = ORVA_CONVERT_PATH;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--convert" && i + 1 < argc) {
      program = argv[++i];
    } else {
      std::fprintf(stderr, "usage: orva_bench_convert_cli [--runs N] [--convert PATH]\n");
      return 2;
    }
  }
  // A folder of its own, so no settings file of the caller's folder is read.
  const auto dir =
      std::filesystem::temp_directory_path() / ("orva-bench-cli-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  int status = 0;
  {
    SourceEdlFile source((dir / "source.edl").string());
    const std::string output = (dir / "out.edl").string();
    std::vector<double> convert, help;
    for (int i = 0; i < runs; ++i) {
      // Interleaved, so both see the same machine load.
      const double c = runOnce({program, source.path(), output});
      const double h = runOnce({program, "--help"});
      if (c < 0 || h < 0) {
        std::fprintf(stderr, "orva_bench_convert_cli: run %d of %s failed\n", i + 1,
                     program.c_str());
        status = 1;
        break;
      }
      convert.push_back(c);
      help.push_back(h);
    }
    const SampleStats cs(convert), hs(help);
    std::printf("source: %d lines; %zu runs each\n", SourceEdlFile::kLines, cs.count());
    std::printf("convert run:   %s\n", cs.summary(" ms", 3).c_str());
    std::printf("--help run:    %s\n", hs.summary(" ms", 3).c_str());
    std::printf("beyond process start: mean %.3f ms, p50 %.3f ms\n", cs.mean() - hs.mean(),
                cs.percentile(50) - hs.percentile(50));
  }
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  std::filesystem::remove_all(dir);
  return status;
}
