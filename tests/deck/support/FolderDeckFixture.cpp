#include "deck/support/FolderDeckFixture.h"

#include <unistd.h>

#include <string>

namespace fs = std::filesystem;

void FolderDeckFixture::SetUp() {
  old_ = fs::current_path();
  dir_ = fs::temp_directory_path() /
         ("orva-deck-" + std::to_string(::getpid()) + "-" +
          ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
          ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::remove_all(dir_);
  fs::create_directories(dir_);
  fs::current_path(dir_);
}

void FolderDeckFixture::TearDown() {
  DeckFixture::TearDown();
  fs::current_path(old_);
  fs::remove_all(dir_);
}
