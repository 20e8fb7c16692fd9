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
    // Memory-backed where the system has it, so the savers' flush to disk costs nothing.
    static const std::string path =
        std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/orva-fuzz-" +
        std::to_string(::getpid()) + ".txt";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
  }
};
