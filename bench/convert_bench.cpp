// Converting a 999-line source EDL in one pass, as "Auto Process EDL" and orva-convert do.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "edl/EdlConverter.h"

namespace {

class SilentView : public ConverterView {
 public:
  void print(const std::string&) override {}
  void pause(int) override {}
};

// A temporary 999-line source: two headings, then events with reel and clip-name columns.
class SourceFile {
 public:
  SourceFile() {
    path_ = (std::filesystem::temp_directory_path() /
             ("orva-bench-" + std::to_string(::getpid()) + ".edl"))
                .string();
    std::ofstream out(path_, std::ios::binary);
    out << "TITLE: BENCH\r\nFCM: NON-DROP FRAME\r\n";
    for (int i = 0; i < 997; ++i) {
      char line[128];
      std::snprintf(line, sizeof line,
                    "%03d  REEL%03d  V     C        %02d:%02d:%02d:00 %02d:%02d:%02d:15 "
                    "01:00:00:00 01:00:10:00\r\n",
                    i % 1000, i % 1000, i / 600, (i / 10) % 60, (i * 6) % 60, i / 600,
                    (i / 10) % 60, (i * 6 + 5) % 60);
      out << line;
    }
  }
  ~SourceFile() { std::filesystem::remove(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void convert(benchmark::State& state, ConverterOptions opts) {
  static SourceFile source;
  SilentView view;
  for (auto _ : state) {
    EdlConverter c(opts, &view);
    c.load("", source.path());
    benchmark::DoNotOptimize(c.lxout().data());
  }
}

void BM_ConvertPlain(benchmark::State& state) {
  convert(state, ConverterOptions{});
}

void BM_ConvertNamesAutoChapters(benchmark::State& state) {
  ConverterOptions o;
  o.namechapters = true;
  o.autochapter = true;
  o.optimize = true;
  convert(state, o);
}

void BM_ConvertAllPsWithNames(benchmark::State& state) {
  ConverterOptions o;
  o.namechapters = true;
  o.onetitle = true;
  convert(state, o);
}

}  // namespace

BENCHMARK(BM_ConvertPlain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertNamesAutoChapters)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertAllPsWithNames)->Unit(benchmark::kMicrosecond);
