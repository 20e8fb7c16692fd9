// Source EDL for the DVD recorder: load, convert in one pass, then step, edit and render.
#include <cstddef>
#include <cstdint>

#include "edl/ConverterOptions.h"
#include "edl/ConverterView.h"
#include "edl/EdlConverter.h"
#include "tests/fuzz/FuzzInput.h"

namespace {
// Swallows output and pauses so a run is pure computation.
class QuietView : public ConverterView {
 public:
  void print(const std::string&) override {}
  void pause(int) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  // The first byte picks the options, so every combination of modes gets explored.
  const std::uint8_t flags = data[0];
  ConverterOptions opts;
  opts.initialize = flags & 1;
  opts.finalize = flags & 2;
  opts.onetitle = flags & 4;
  opts.autochapter = flags & 8;
  opts.namechapters = flags & 16;
  opts.optimize = flags & 32;
  QuietView view;
  EdlConverter conv(opts, &view);
  const std::string& path = FuzzInput::write(data + 1, size - 1);
  const auto slash = path.rfind('/');
  conv.load(path.substr(0, slash + 1), path.substr(slash + 1));
  conv.next();
  conv.backupsourceedl();
  conv.chap();
  conv.wait();
  conv.pause();
  conv.del();
  conv.stop();
  conv.setOptimize(!opts.optimize);
  return 0;
}
