#pragma once

#include <string>

// Saves the rendered list as a recorder EDL file. The name must have 5 or more characters and
// gets ".edl" appended unless it already ends so. The text goes to a temporary file beside the
// target, which replaces the target only once everything is written: a failed save leaves any
// older file as it was.
class RecorderFile {
 public:
  enum class Status { Saved, NameError, WriteError };

  struct Result {
    Status status = Status::Saved;
    std::string path;   // the file written (or meant to be)
    std::string error;  // what went wrong, for a WriteError
  };

  static constexpr const char* nameErrorText =
      "File Name Error: File name must be 5 or more characters.";

  // The file name the rules give for a chosen name, or "" when the name is refused.
  static std::string fileName(const std::string& name);

  // Writes text to directory/name (directory may be empty: the working folder).
  static Result saveedl2(const std::string& directory, const std::string& name,
                         const std::string& text);

 private:
  static std::string join(const std::string& directory, const std::string& name);
};
