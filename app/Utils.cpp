#include "app/Utils.h"

#include <chrono>
#include <thread>

void Utils::DelayT(int ms) {
  if (ms <= 0) {
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
