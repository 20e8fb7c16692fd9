#pragma once

#include <string>

// A temporary 999-line source EDL (two headings, then events with reel and clip-name columns),
// removed again by the destructor.
class SourceEdlFile {
 public:
  static constexpr int kLines = 999;

  explicit SourceEdlFile(const std::string& path);
  ~SourceEdlFile();
  SourceEdlFile(const SourceEdlFile&) = delete;
  SourceEdlFile& operator=(const SourceEdlFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};
