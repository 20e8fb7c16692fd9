#include "sim/Transcript.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

Transcript::Transcript(const std::string& path) : file_(std::fopen(path.c_str(), "w")) {
  if (file_ == nullptr) {
    throw std::runtime_error("Cannot create transcript " + path + ": " + std::strerror(errno));
  }
}

Transcript::~Transcript() {
  close();
}

void Transcript::close() {
  std::lock_guard lock(mutex_);
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

std::string Transcript::hex(std::span<const std::uint8_t> bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (std::uint8_t b : bytes) {
    if (!out.empty())
      out += ' ';
    out += digits[b >> 4];
    out += digits[b & 0x0F];
  }
  return out;
}

void Transcript::write(std::int64_t atUs, const char* tag, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  if (file_ == nullptr)
    return;
  std::string line = std::to_string(atUs) + ' ' + tag;
  if (!bytes.empty())
    line += ' ' + hex(bytes);
  line += '\n';
  std::fputs(line.c_str(), file_);
  std::fflush(file_);
}
