#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>

#include "sim/DeckEmulator.h"
#include "sim/ScheduledWrite.h"

// Serves an emulated deck on a new pseudo-terminal. The controller opens the slave side like
// a serial port. The server keeps its own descriptor of the slave open, so a controller that
// closes and reopens the port does not hang up the master. Both sides are set raw.
class PtyServer {
 public:
  // Opens the pseudo-terminal; throws std::system_error on failure.
  explicit PtyServer(DeckEmulator& deck);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  const std::string& slavePath() const { return slavePath_; }

  // Serves until stop turns true or the deck hangs up (then the master is closed). Waits in
  // poll with a time-out, so the byte time-out and due replies are handled without input.
  void run(const std::atomic<bool>& stop);

 private:
  void readInput();
  void writeDue(std::int64_t nowUs);
  void closeAll();

  DeckEmulator& deck_;
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  std::deque<ScheduledWrite> pending_;
  std::size_t sentOfFront_ = 0;  // bytes of pending_.front() already written
  std::int64_t hangupAtUs_ = 0;  // when a pending hang-up closes the line at the latest
};
