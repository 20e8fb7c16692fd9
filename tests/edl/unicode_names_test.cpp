// Paths are UTF-8 inside the program. On Windows, names outside the ANSI code page (Japanese
// clip lists are common in dubbing rooms) only open through the wide-character calls; a narrow
// call there fails or opens a different name.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "app/ControllerApp.h"
#include "app/NativeFile.h"
#include "edl/EditList.h"
#include "edl/RecorderFile.h"
#include "edl/SourceEdl.h"

namespace {

// "Recording list" in Japanese, and a folder named "dubbing" in Japanese.
const std::string kFolder = "\xE5\x90\xB9\xE6\x9B\xBF\xE3\x81\x88";
const std::string kListName = "\xE5\x8F\x8E\xE9\x8C\xB2\xE3\x83\xAA\xE3\x82\xB9\xE3\x83\x88.edl";

class UnicodeNames : public ::testing::Test {
 protected:
  void SetUp() override {
    ControllerApp::resetDefaults();
    const std::u8string base =
        (std::filesystem::temp_directory_path() /
         ("orva-names-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed())))
            .u8string();
    dir_ = std::string(base.begin(), base.end()) + "/" + kFolder;
    std::filesystem::remove_all(NativeFile::fsPath(dir_).parent_path());
    ASSERT_TRUE(std::filesystem::create_directories(NativeFile::fsPath(dir_)));
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(NativeFile::fsPath(dir_).parent_path(), ec);
    ControllerApp::resetDefaults();
  }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  void write(const std::string& name, const std::string& text) const {
    std::FILE* f = NativeFile::openStream(path(name), "wb");
    ASSERT_NE(f, nullptr) << path(name);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }

  std::string dir_;
};

}  // namespace

// Every file the operator names: the logger's list (saved twice, so the second save renames
// over an existing file, then loaded back), a source EDL and the converter's output.
TEST_F(UnicodeNames, EveryReaderAndWriterTakesJapaneseNames) {
  std::ostringstream log;
  EditList saved;
  saved.setOutput(log);
  saved.savename = kListName;
  saved.ClipNameArray[0] = "\xE5\xA3\xB0";  // one kanji
  saved.SrcInArray[0] = "00:00:10:00";
  saved.SrcOutArray[0] = "00:00:20:00";
  ASSERT_TRUE(saved.SaveEDL(path(kListName))) << log.str();
  saved.SrcOutArray[0] = "00:00:30:00";
  ASSERT_TRUE(saved.SaveEDL(path(kListName))) << log.str();

  EditList loaded;
  loaded.setOutput(log);
  EXPECT_EQ(loaded.LoadEDL(path(kListName)), 1) << log.str();
  EXPECT_EQ(loaded.ClipNameArray[0], saved.ClipNameArray[0]);
  EXPECT_EQ(loaded.SrcOutArray[0], "00:00:30:00");

  write("\xE5\x8E\x9F.edl",
        "001  TAPE1    V     C        00:00:10:00 00:00:20:00 "
        "01:00:00:00 01:00:10:00\r\n");
  SourceEdl source;
  int lines = 0;
  EXPECT_EQ(source.read(path("\xE5\x8E\x9F.edl"), [&](const std::string&) { ++lines; }),
            SourceEdl::ReadResult::Ok);
  EXPECT_EQ(lines, 1);
  const auto out = RecorderFile::saveedl2(dir_, "\xE5\x87\xBA\xE5\x8A\x9B-list", "text\r\n");
  EXPECT_EQ(out.status, RecorderFile::Status::Saved) << out.error;
  struct stat st {};
  EXPECT_EQ(NativeFile::statPath(path("\xE5\x87\xBA\xE5\x8A\x9B-list.edl"), st), 0);
}
