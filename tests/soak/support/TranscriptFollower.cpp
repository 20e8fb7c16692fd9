#include "soak/support/TranscriptFollower.h"

#include <algorithm>
#include <utility>

TranscriptFollower::TranscriptFollower(std::string path) : path_(std::move(path)) {}

std::size_t TranscriptFollower::poll() {
  if (!in_.is_open()) {
    in_.open(path_, std::ios::binary);
    if (!in_.is_open()) {
      return 0;
    }
  }
  in_.clear();  // the end of the file reached last time is not the end any more
  const std::size_t before = events_.size();
  char buf[4096];
  while (in_.read(buf, sizeof buf) || in_.gcount() > 0) {
    partial_.append(buf, static_cast<std::size_t>(in_.gcount()));
    std::size_t start = 0;
    for (std::size_t nl; (nl = partial_.find('\n', start)) != std::string::npos; start = nl + 1) {
      const std::string line = partial_.substr(start, nl - start);
      if (auto e = TranscriptEvent::parse(line)) {
        hangup_ = hangup_ || e->tag == "HANGUP";
        events_.push_back(std::move(*e));
      } else if (!line.empty()) {
        ++badLines_;
      }
    }
    partial_.erase(0, start);
  }
  return events_.size() - before;
}

std::size_t TranscriptFollower::count(const std::string& tag,
                                      const std::vector<std::uint8_t>& bytes) const {
  return static_cast<std::size_t>(
      std::count_if(events_.begin(), events_.end(), [&](const TranscriptEvent& e) {
        return e.tag == tag && (bytes.empty() || e.bytes == bytes);
      }));
}
