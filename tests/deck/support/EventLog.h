#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// One ordered record of what the controller did, shared by the fake link (frames as hex), the
// recording sleeper ("(1000 ms)") and the fake view ("view ..."), so tests can check order.
class EventLog {
 public:
  void add(const std::string& entry);
  std::vector<std::string> all() const;
  // Only frames and waits, leaving out the polling requests a test made itself.
  std::vector<std::string> sequence() const;
  std::vector<std::string> frames() const;
  int count(const std::string& entry) const;
  // Waits until pred holds for the entries, at most timeoutMs; answers whether it did.
  bool waitFor(const std::function<bool(const std::vector<std::string>&)>& pred,
               int timeoutMs = 5000) const;
  bool waitForEntry(const std::string& entry, int times = 1, int timeoutMs = 5000) const;

  static std::string hex(const std::uint8_t* bytes, std::size_t n);
  static bool isPollFrame(const std::string& entry);

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  std::vector<std::string> entries_;
};
