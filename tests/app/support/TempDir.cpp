#include "app/support/TempDir.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "orva-app-XXXXXX").string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary folder");
  }
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  // Files a test made unreadable must still go.
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path(name);
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream in(path(name), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
