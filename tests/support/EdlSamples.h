#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The optional extra corpus of real EDL files that is not part of the repository. Its folder
// comes from the environment variable ORVA_EDL_SAMPLES; tests that need it skip without it.
class EdlSamples {
 public:
  static constexpr const char* kVariable = "ORVA_EDL_SAMPLES";
  // The one-line reason a test gives when it skips for want of the corpus.
  static constexpr const char* kSkipReason =
      "ORVA_EDL_SAMPLES is not set: no folder of real EDL files to read";

  // The folder named by ORVA_EDL_SAMPLES; empty when the variable is unset or empty.
  static std::string dir();
  // dir() + "/" + name.
  static std::string file(const std::string& name);
  // Every *.edl of the folder, sorted by name; empty without the folder.
  static std::vector<std::filesystem::path> files();
};
