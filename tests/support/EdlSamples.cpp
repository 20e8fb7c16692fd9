#include "support/EdlSamples.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

std::string EdlSamples::dir() {
  const char* value = std::getenv(kVariable);
  return value == nullptr ? std::string() : std::string(value);
}

std::string EdlSamples::file(const std::string& name) {
  return dir() + "/" + name;
}

std::vector<std::filesystem::path> EdlSamples::files() {
  std::vector<std::filesystem::path> found;
  const std::string folder = dir();
  if (folder.empty()) {
    return found;
  }
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    if (e.path().extension() == ".edl") {
      found.push_back(e.path());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}
