// Standard EDL of the logger: load any bytes, then save what was loaded.
#include <cstddef>
#include <cstdint>

#include "edl/EditList.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  EditList list;
  list.setLineSink([](const std::string&) {});
  const std::string& path = FuzzInput::write(data, size);
  list.LoadEDL(path);
  list.SaveEDL(path + ".out");
  return 0;
}
