#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

// The loaders under test read files by path, so each input is written to one scratch file per
// fuzzing process and handed over by name.
class FuzzInput {
 public:
  static const std::string& write(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/orva-fuzz-" + std::to_string(::getpid()) + ".txt";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
  }
};
