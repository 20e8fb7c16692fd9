#include <gtest/gtest.h>

#include <chrono>

#include "app/Utils.h"

TEST(UtilsDelayT, ZeroAndNegativeReturnAtOnce) {
  auto t0 = std::chrono::steady_clock::now();
  Utils::DelayT(0);
  Utils::DelayT(-5000);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
}

TEST(UtilsDelayT, SleepsAtLeastTheGivenTime) {
  auto t0 = std::chrono::steady_clock::now();
  Utils::DelayT(30);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(30));
}
