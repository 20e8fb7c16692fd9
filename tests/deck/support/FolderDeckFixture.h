#pragma once

#include <filesystem>

#include "deck/support/DeckFixture.h"

// A deck fixture whose test runs in its own empty working directory, where the controller looks
// up its script file; the directory goes, and the old one comes back, after the test.
class FolderDeckFixture : public DeckFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

 private:
  std::filesystem::path old_;
  std::filesystem::path dir_;
};
