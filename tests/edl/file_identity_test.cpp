// Whether two paths name one file: the guard that keeps a save from replacing its source.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "edl/FileIdentity.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;

TEST(FileIdentity, TellsTheSameFileByAnyPathAndNeverAMissingOne) {
  TempFolder dir("orva-ident");
  ASSERT_FALSE(dir.path().empty());
  dir.write("a.edl", "x");
  dir.write("b.edl", "x");  // same text, another file
  fs::create_directory(dir.file("sub"));
  const std::string a = dir.file("a.edl");
  std::error_code ec;
  fs::create_hard_link(a, dir.file("hard.edl"), ec);
  const bool hard = !ec;
#ifndef _WIN32
  fs::create_symlink(a, dir.file("soft.edl"));
#endif
  struct Case {
    std::string other;
    bool same;
  } cases[] = {
      {a, true},
      {dir.path() + "/sub/../a.edl", true},
      {dir.path() + "/./a.edl", true},
      {dir.file("b.edl"), false},
      {dir.file("missing.edl"), false},
      {"", false},
#ifndef _WIN32
      {dir.file("soft.edl"), true},
#endif
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileIdentity::same(a, c.other), c.same) << c.other;
    EXPECT_EQ(FileIdentity::same(c.other, a), c.same) << c.other;
  }
  if (hard) {
    EXPECT_TRUE(FileIdentity::same(a, dir.file("hard.edl")));
  }
  EXPECT_FALSE(FileIdentity::same(dir.file("missing.edl"), dir.file("missing.edl")));
}
