#pragma once

#include <gtest/gtest.h>
#include <QApplication>

#include <memory>

// The one QApplication of a window test binary, made before the first test and destroyed after
// the last. Every test binary of the window layer links support/, which registers it once; the
// offscreen platform is used unless the environment names another.
class QtTestEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
  void TearDown() override;

 private:
  int argc_ = 1;
  char name_[10] = "orva-test";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};
