#include "deck/support/EventLog.h"

#include <algorithm>
#include <cstdio>

void EventLog::add(const std::string& entry) {
  {
    std::lock_guard lock(mutex_);
    entries_.push_back(entry);
  }
  cv_.notify_all();
}

std::vector<std::string> EventLog::all() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

bool EventLog::isPollFrame(const std::string& entry) {
  return entry.rfind("61 0C", 0) == 0 || entry.rfind("61 20", 0) == 0;
}

std::vector<std::string> EventLog::sequence() const {
  std::vector<std::string> out;
  for (const auto& e : all()) {
    if (e.rfind("view ", 0) != 0 && !isPollFrame(e)) {
      out.push_back(e);
    }
  }
  return out;
}

std::vector<std::string> EventLog::frames() const {
  std::vector<std::string> out;
  for (const auto& e : all()) {
    if (e.rfind("view ", 0) != 0 && e.rfind("(", 0) != 0) {
      out.push_back(e);
    }
  }
  return out;
}

int EventLog::count(const std::string& entry) const {
  auto e = all();
  return static_cast<int>(std::count(e.begin(), e.end(), entry));
}

bool EventLog::waitFor(const std::function<bool(const std::vector<std::string>&)>& pred,
                       int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return pred(entries_); });
}

bool EventLog::waitForEntry(const std::string& entry, int times, int timeoutMs) const {
  return waitFor(
      [&](const std::vector<std::string>& e) {
        return std::count(e.begin(), e.end(), entry) >= times;
      },
      timeoutMs);
}

std::string EventLog::hex(const std::uint8_t* bytes, std::size_t n) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, "%02X", bytes[i]);
    if (i > 0) {
      out += ' ';
    }
    out += buf;
  }
  return out;
}
