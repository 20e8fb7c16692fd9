#pragma once

#include <string>

// A fresh folder under the system's temporary directory, removed with everything in it when the
// object goes. path() is empty when the folder could not be made.
class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& text) const;
  // The whole file; empty when it cannot be read.
  std::string read(const std::string& name) const;

 private:
  std::string path_;
};
