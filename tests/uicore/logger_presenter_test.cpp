// The logger window's decisions without a toolkit: what row 0 holds, and a list that is never
// lost when the window closes.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"
#include "deck/support/EventLog.h"
#include "deck/support/FakeLink.h"
#include "deck/support/FakeView.h"
#include "support/TempFolder.h"
#include "ui/core/LoggerPresenter.h"

namespace {

// Row 0 holds what the "operator" typed in `typed`; dialogs answer `answer`.
class FakeLoggerView : public LoggerView {
 public:
  void showCell(int row, int column, const std::string& text) override {
    if (row == 0) {
      typed[column] = text;
    }
  }
  std::string cellText(int column) const override { return typed[column]; }
  void showScroll(int) override {}
  std::string chooseFile(const std::string&, bool) override { return answer; }

  std::array<std::string, 4> typed;
  std::string answer;
};

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class LoggerPresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    ControllerApp::resetDefaults();
    link.setTimecode("01:00:10:00");
    vcr.CommandB8();  // the display shows 01:00:10:00
  }
  void TearDown() override {
    vcr.close();
    std::filesystem::current_path(old_);
  }
  std::vector<std::filesystem::path> recoveryFiles() const {
    std::vector<std::filesystem::path> found;
    for (const auto& e : std::filesystem::directory_iterator(folder.path())) {
      if (e.path().filename().string().rfind("ORVALogger-recovered-", 0) == 0) {
        found.push_back(e.path());
      }
    }
    return found;
  }

  TempFolder folder{"orva-logger-presenter"};
  std::filesystem::path old_;
  EventLog log;
  FakeLink link{log};
  FakeView deckView{log};
  LocalVCR vcr{link, false, deckView};
  FakeLoggerView view;
  std::vector<std::string> lines;
};

TEST_F(LoggerPresenterTest, TextTypedInRow0IsStoredBeforeAnythingActsOnTheList) {
  LoggerPresenter logger(view, vcr);
  logger.setLineSink([this](const std::string& l) { lines.push_back(l); });
  logger.ReState(0);
  view.typed[1] = "Interview A";  // typed, then the operator tabbed away (no Enter)
  view.typed[3] = "01:00:20:00";
  logger.timePressed(0, 2);
  view.answer = folder.file("list.edl");
  logger.save();
  EXPECT_EQ(logger.list().ClipNameArray[0], "Interview A");
  EXPECT_EQ(view.typed[2], "01:00:10:00");
  EXPECT_FALSE(logger.unsaved());
  EXPECT_NE(readAll(view.answer).find("Interv"), std::string::npos);
}

TEST_F(LoggerPresenterTest, ClosingKeepsAnUnsavedListInARecoveryFileAndASavedOneNot) {
  {
    LoggerPresenter logger(view, vcr);
    logger.setLineSink([this](const std::string& l) { lines.push_back(l); });
    logger.ReState(0);
    logger.timePressed(0, 2);
    view.typed[3] = "01:00:20:00";
    const std::string kept = logger.closing();
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(logger.closing(), "");  // once
    ASSERT_EQ(recoveryFiles().size(), 1u);
    EXPECT_EQ(std::filesystem::path(kept), std::filesystem::absolute(recoveryFiles()[0]));
    EXPECT_NE(readAll(kept).find("01:00:10:00 01:00:20:00"), std::string::npos);
    EXPECT_EQ(lines.back(), "Logger list not saved: kept in " + kept);
  }
  {
    // A list that is saved, or never changed, leaves nothing behind.
    LoggerPresenter logger(view, vcr);
    logger.ReState(0);
    EXPECT_EQ(logger.closing(), "");
    LoggerPresenter saved(view, vcr);
    saved.ReState(0);
    saved.timePressed(0, 2);
    view.typed[3] = "01:00:20:00";
    view.answer = folder.file("saved.edl");
    saved.save();
    EXPECT_EQ(saved.closing(), "");
  }
  EXPECT_EQ(recoveryFiles().size(), 1u);
}

}  // namespace
