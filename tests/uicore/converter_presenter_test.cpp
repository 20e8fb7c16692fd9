// The converter window's decisions without a toolkit: a list is never saved over the EDL it
// was converted from.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/ControllerApp.h"
#include "support/TempFolder.h"
#include "ui/core/ConverterPresenter.h"

namespace {

class FakeConverterView : public ConverterWindowView {
 public:
  std::string chooseFile(const std::string&, const std::string&, bool) override { return answer; }
  void showOptions(const ConverterOptions&) override {}
  void print(const std::string& line) override { lines.push_back(line); }
  void pause(int) override {}

  std::string answer;
  std::vector<std::string> lines;
};

TEST(ConverterPresenter, ASaveOverTheSourceByAnyPathIsRefusedAndWritesNothing) {
  ControllerApp::resetDefaults();
  TempFolder folder("orva-converter-presenter");
  const std::string edl =
      "TITLE: cut\r\n001  AX       V     C        00:00:01:00 00:00:05:00 01:00:00:00 "
      "01:00:04:00\r\n";
  folder.write("cut.edl", edl);
  FakeConverterView view;
  ConverterPresenter presenter(view, ConverterOptions::fromSettings());
  view.answer = folder.file("cut.edl");
  presenter.start();
  ASSERT_NE(presenter.converter().lxfile().find("REC"), std::string::npos);

  std::filesystem::create_directory(folder.file("sub"));
  std::error_code ec;
  std::filesystem::create_symlink(folder.file("cut.edl"), folder.file("link.edl"), ec);
  for (const std::string& same :
       {folder.file("cut.edl"), folder.file("sub/../cut.edl"), folder.file("link.edl")}) {
    if (same == folder.file("link.edl") && ec) {
      continue;  // no symbolic links here
    }
    SCOPED_TRACE(same);
    view.answer = same;
    view.lines.clear();
    presenter.command("save");
    EXPECT_EQ(folder.read("cut.edl"), edl);
    ASSERT_EQ(view.lines.size(), 1u);
    EXPECT_EQ(view.lines[0].rfind("Not saved: ", 0), 0u) << view.lines[0];
  }
  view.answer = folder.file("cut-lx1.edl");
  presenter.command("save");
  EXPECT_NE(folder.read("cut-lx1.edl").find("PIONEER-DVDRec-EDL 002"), std::string::npos);
}

}  // namespace
