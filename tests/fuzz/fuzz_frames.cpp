// The emulator's frame assembly and replies: arbitrary bytes at arbitrary times.
#include <cstddef>
#include <cstdint>

#include "sim/FrameAssembler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FrameAssembler assembler;
  std::int64_t now = 0;
  std::size_t i = 0;
  // Each chunk: one byte of length, one byte of delay in ms, then the bytes.
  while (i + 2 <= size) {
    const std::size_t len = data[i] % 16;
    now += static_cast<std::int64_t>(data[i + 1]) * 1000 / 8;
    i += 2;
    const std::size_t n = len < size - i ? len : size - i;
    assembler.expire(now);
    assembler.feed(data + i, n, now);
    i += n;
  }
  assembler.expire(now + 20000);
  return 0;
}
