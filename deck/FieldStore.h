#pragma once

#include <mutex>
#include <string>

// The three timecode texts the control window shows: the deck's timecode (written by polling),
// the cue (in) point and the end (out) point. Read and written from any thread.
class FieldStore {
 public:
  std::string tc() const;
  std::string cue() const;
  std::string end() const;
  void setTc(const std::string& text);
  void setCue(const std::string& text);
  void setEnd(const std::string& text);

 private:
  mutable std::mutex mutex_;
  std::string tc_ = "00:00:00:00";
  std::string cue_ = "00:00:00:00";
  std::string end_ = "00:00:00:00";
};
