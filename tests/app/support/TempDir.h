#pragma once

#include <string>

// A fresh folder under the system's temporary directory, removed with everything in it when
// the object goes.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::string& path() const { return path_; }
  std::string path(const std::string& name) const { return path_ + "/" + name; }
  // Writes the bytes exactly as given (no line-end translation) and answers the file's path.
  std::string write(const std::string& name, const std::string& bytes) const;
  // The whole file, or an empty text when it cannot be read.
  std::string read(const std::string& name) const;

 private:
  std::string path_;
};
