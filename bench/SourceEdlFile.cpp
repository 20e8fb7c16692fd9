#include "bench/SourceEdlFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

SourceEdlFile::SourceEdlFile(const std::string& path) : path_(path) {
  std::ofstream out(path_, std::ios::binary);
  out << "TITLE: BENCH\r\nFCM: NON-DROP FRAME\r\n";
  for (int i = 0; i < kLines - 2; ++i) {
    char line[128];
    std::snprintf(line, sizeof line,
                  "%03d  REEL%03d  V     C        %02d:%02d:%02d:00 %02d:%02d:%02d:15 "
                  "01:00:00:00 01:00:10:00\r\n",
                  i % 1000, i % 1000, i / 600, (i / 10) % 60, (i * 6) % 60, i / 600, (i / 10) % 60,
                  (i * 6 + 5) % 60);
    out << line;
  }
}

SourceEdlFile::~SourceEdlFile() {
  std::error_code ec;
  std::filesystem::remove(path_, ec);
}
