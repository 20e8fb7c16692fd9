#include "remote/Waker.h"

void Waker::wake() const {
  if (socket_.valid()) {
    socket_.sendSome(std::string_view("w", 1));  // a full queue wakes as well
  }
}

void Waker::drain() const {
  char buffer[64];
  while (socket_.valid() && socket_.receive(buffer, sizeof buffer) > 0) {
  }
}
