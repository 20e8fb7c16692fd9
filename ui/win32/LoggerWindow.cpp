#include "ui/win32/LoggerWindow.h"

#include <array>
#include <deque>
#include <exception>
#include <iostream>
#include <utility>
#include <vector>

#include "app/ControllerApp.h"
#include "app/NativeFile.h"
#include "edl/EditList.h"
#include "ui/core/LoggerPresenter.h"
#include "ui/core/LoggerView.h"
#include "ui/core/TextFit.h"
#include "ui/win32/ButtonCtrl.h"
#include "ui/win32/EditCtrl.h"
#include "ui/win32/FileDialog.h"
#include "ui/win32/ScrollBarCtrl.h"
#include "ui/win32/Window.h"

namespace {

constexpr int NumRows = LoggerPresenter::NumRows;
constexpr int GUIwidth = 470;
constexpr int GUIheight = 525;
constexpr int dy = GUIheight / NumRows - 5;
constexpr int vspace = dy + 2;
constexpr int fontheight = dy - 6;
constexpr int clipnamewidth = GUIwidth / 5;
constexpr int timecodewidth = GUIwidth / 5;
constexpr int loadsavewidth = GUIwidth / 5;
constexpr int buttonwidth = dy - 2;
constexpr int editnumwidth = GUIwidth / 14 + 4;
// Column starts, as the Qt window places them.
constexpr int c0 = 5;
constexpr int c1 = c0 + editnumwidth + 6;
constexpr int c2 = c1 + clipnamewidth + 15;
constexpr int c3 = c2 + buttonwidth + 2;
constexpr int c4 = c3 + timecodewidth + 15;
constexpr int c5 = c4 + buttonwidth + 2;
constexpr int c6 = c5 + timecodewidth + 15;

// A row field. Row 0's editable fields also report losing the keyboard focus, which stores
// what was typed as Enter does.
class FieldCtrl : public EditCtrl {
 public:
  void onFocusOut(std::function<void()> handler) { onFocusOut_ = std::move(handler); }
  void onCommand(int code) override {
    if (code == EN_KILLFOCUS && onFocusOut_) {
      onFocusOut_();
    }
    EditCtrl::onCommand(code);
  }

 private:
  std::function<void()> onFocusOut_;
};

class LoggerWindowImpl : public LoggerWindow, public Window, private LoggerView {
 public:
  LoggerWindowImpl(LocalVCR& vcr, std::function<void()> onClosed)
      : presenter_(*this, vcr), onClosed_(std::move(onClosed)) {}

  bool build();

  void close() override {
    if (hwnd() != nullptr) {
      // At once, as the close box does: the recovery file is written before this returns.
      SendMessageW(hwnd(), WM_CLOSE, 0, 0);
    }
  }
  void raise() override { Window::raise(); }
  LoggerPresenter& presenter() override { return presenter_; }

 protected:
  void onClose() override;

 private:
  // LoggerView
  void showCell(int row, int column, const std::string& text) override {
    FieldCtrl& f = fields_[row][column];
    f.setTextIfChanged(text);
    SendMessageW(f.hwnd(), EM_SETSEL, 0, 0);  // long texts show their start
  }
  std::string cellText(int column) const override { return fields_[0][column].text(); }
  void showScroll(int first) override { vsb_.setValue(first); }
  std::string chooseFile(const std::string& title, bool save) override;

  void fitTexts();
  void commit(int column) {
    if (!closing_) {
      presenter_.fieldCommitted(column, fields_[0][column].text());
    }
  }

  LoggerPresenter presenter_;
  std::function<void()> onClosed_;
  bool closing_ = false;
  std::deque<Font> fonts_;  // each kind of text's font, as large as fits its component
  ButtonCtrl load_, review_, revall_, save_;
  std::array<std::array<FieldCtrl, 4>, NumRows> fields_;
  std::array<std::array<ButtonCtrl, 2>, NumRows> timeButtons_;
  std::array<ButtonCtrl, NumRows> cueButtons_;
  ScrollBarCtrl vsb_;
};

void LoggerWindowImpl::fitTexts() {
  // Every text shows whole at the screen's dpi: each kind of text gets the largest font, up to
  // the window's, in which all it may show fits its component. The rows share row 0's fonts.
  for (ButtonCtrl* b : {&load_, &review_, &revall_, &save_}) {
    fonts_.push_back(b->fitFont("Helvetica", fontheight, false, {b->text()}));
  }
  std::vector<std::string> names;
  for (int n = 0; n <= 99; ++n) {
    names.push_back("Name" + std::string(n < 10 ? "0" : "") + std::to_string(n));
  }
  const std::vector<std::string> numbers = TextFit::eventNumbers();
  const std::vector<std::string> times = TextFit::timecodes();
  const std::vector<std::string>* columnTexts[4] = {&numbers, &names, &times, &times};
  for (int c = 0; c < 4; ++c) {
    const Font& font =
        fonts_.emplace_back(fields_[0][c].fitFont("Helvetica", fontheight, false, *columnTexts[c]));
    for (int r = 1; r < NumRows; ++r) {
      fields_[r][c].setFont(font);
    }
  }
  const Font& arrows =
      fonts_.emplace_back(timeButtons_[0][0].fitFont("Helvetica", fontheight, false, {">", "<"}));
  const Font& star =
      fonts_.emplace_back(cueButtons_[0].fitFont("Helvetica", fontheight, false, {"*"}));
  for (int r = 0; r < NumRows; ++r) {
    timeButtons_[r][0].setFont(arrows);
    timeButtons_[r][1].setFont(arrows);
    cueButtons_[r].setFont(star);
  }
}

bool LoggerWindowImpl::build() {
  if (!create(ControllerApp::name + " Logger", GUIwidth, GUIheight, {80, 150, 245})) {
    return false;
  }
  setPosition(350, 0);
  setFont(makeFont("Helvetica", fontheight));

  const int y0 = 5;
  load_.create(*this, "Load EDL", c0, y0, loadsavewidth, dy);
  review_.create(*this, "Review", c2 - 40, y0, loadsavewidth - 30, dy);
  revall_.create(*this, "RevALL", c3 + 10, y0, loadsavewidth - 30, dy);
  save_.create(*this, "Save EDL", c4, y0, loadsavewidth, dy);
  load_.onClick([this] { presenter_.load(); });
  review_.onClick([this] { presenter_.ReviewClip(); });
  revall_.onClick([this] { presenter_.RevAll(); });
  save_.onClick([this] { presenter_.save(); });

  for (int r = 0; r < NumRows; ++r) {
    const int y = y0 + (r + 1) * vspace;
    auto& f = fields_[r];
    f[0].create(*this, "", c0, y, editnumwidth, dy);
    f[1].create(*this, "", c1, y, clipnamewidth, dy);
    timeButtons_[r][0].create(*this, ">", c2, y, buttonwidth, dy);
    f[2].create(*this, "", c3, y, timecodewidth, dy);
    timeButtons_[r][1].create(*this, "<", c4, y, buttonwidth, dy);
    f[3].create(*this, "", c5, y, timecodewidth, dy);
    cueButtons_[r].create(*this, "*", c5 + timecodewidth + 5, y, 12, dy);
    for (int c = 0; c < 4; ++c) {
      // Only row 0's name and times are edited in place.
      f[c].setReadOnly(r != 0 || c == 0);
      f[c].setColours({0, 0, 0}, {255, 255, 255});
    }
    timeButtons_[r][0].onClick([this, r] { presenter_.timePressed(r, 2); });
    timeButtons_[r][1].onClick([this, r] { presenter_.timePressed(r, 3); });
    cueButtons_[r].onClick([this, r] { presenter_.cuePressed(r); });
  }
  fitTexts();
  for (int c = 1; c <= 3; ++c) {
    fields_[0][c].onEnter([this, c] { commit(c); });
    fields_[0][c].onFocusOut([this, c] { commit(c); });
  }

  // Values 0 .. 80 with 20 rows visible: row 0 can show any entry up to the 81st.
  vsb_.create(*this, false, c6 + 12, 20, 20, GUIheight - 55);
  vsb_.setRange(0, EditList::kEntries - NumRows, NumRows);
  vsb_.setValue(0);
  vsb_.onChange([this](int v) { presenter_.scrolled(v); });

  presenter_.ReState(0);
  return true;
}

std::string LoggerWindowImpl::chooseFile(const std::string& title, bool save) {
  if (chooser) {
    return chooser(title, save);
  }
  const auto path =
      save ? FileDialog::save(this, title, "", "edl.txt") : FileDialog::open(this, title, "");
  return path.value_or("");
}

void LoggerWindowImpl::onClose() {
  if (closing_) {
    return;
  }
  try {
    presenter_.closing();  // stores row 0's fields, keeps unsaved changes in a recovery file
  } catch (const std::exception& e) {
    std::cout << "Logger close error: " << e.what() << std::endl;
  }
  closing_ = true;
  auto onClosed = std::move(onClosed_);
  destroy();
  if (onClosed) {
    onClosed();
  }
  delete this;  // the window's own ownership: nothing touches the object after this
}

}  // namespace

LoggerWindow* LoggerWindow::open(LocalVCR& vcr, std::function<void()> onClosed) {
  auto* w = new LoggerWindowImpl(vcr, std::move(onClosed));
  if (!w->build()) {
    delete w;
    return nullptr;
  }
  w->show();
  return w;
}
