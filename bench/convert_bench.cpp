// Converting a 999-line source EDL in one pass, as "Auto Process EDL" and orva-convert do.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "bench/SourceEdlFile.h"
#include "edl/EdlConverter.h"

namespace {

class SilentView : public ConverterView {
 public:
  void print(const std::string&) override {}
  void pause(int) override {}
};

std::string sourcePath() {
  return (std::filesystem::temp_directory_path() /
          ("orva-bench-" + std::to_string(::getpid()) + ".edl"))
      .string();
}

void convert(benchmark::State& state, ConverterOptions opts) {
  static SourceEdlFile source(sourcePath());
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
