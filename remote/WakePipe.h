#pragma once

// Ends a server thread's poll at once from any thread: the thread polls the read end, others
// write a byte. Shared by pointer, so a late writer (an action finishing on the operator worker)
// never touches a closed descriptor. On Windows there is no pipe to poll; the server's 20 ms
// tick stands in.
class WakePipe {
 public:
  WakePipe();
  ~WakePipe();
  WakePipe(const WakePipe&) = delete;
  WakePipe& operator=(const WakePipe&) = delete;

  void wake() const;
  // Reads every byte written so far.
  void drain() const;
  // The descriptor to poll for reading; -1 when there is none.
  int readEnd() const { return fds_[0]; }

 private:
  int fds_[2] = {-1, -1};
};
