#include "bench/RecordingView.h"

void RecordingView::ShowTC(const std::string& tc) {
  const auto at = nowUs();
  std::lock_guard lock(mutex_);
  shown_.push_back({at, tc});
}

std::vector<RecordingView::Shown> RecordingView::shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

void RecordingView::clear() {
  std::lock_guard lock(mutex_);
  shown_.clear();
}

std::int64_t RecordingView::nowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
