#include "ui/win32/ConverterWindow.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>
#include <utility>
#include <vector>

#include "app/ControllerApp.h"
#include "app/NativeFile.h"
#include "app/TextCodec.h"
#include "ui/core/ConverterPresenter.h"
#include "ui/core/ConverterWindowView.h"
#include "ui/win32/ButtonCtrl.h"
#include "ui/win32/CheckBoxCtrl.h"
#include "ui/win32/FileDialog.h"
#include "ui/win32/TextAreaCtrl.h"
#include "ui/win32/Window.h"

namespace {

constexpr int kWidth = 900;
constexpr int kHeight = 360;
constexpr int kMargin = 6;
constexpr int kAreaHeight = 260;
constexpr int kChecksWidth = 100;
constexpr int kButtonHeight = 30;
// The source area is the wider one, as 80 columns to the list's 38.
constexpr int kAreasWidth = kWidth - 3 * kMargin - kChecksWidth - kMargin;
constexpr int kSourceWidth = kAreasWidth * 80 / 118;
constexpr int kListWidth = kAreasWidth - kSourceWidth;

struct ButtonSpec {
  const char* label;
  const char* command;
};

class ConverterWindowImpl : public ConverterWindow, public Window, private ConverterWindowView {
 public:
  explicit ConverterWindowImpl(std::function<void(ConverterWindow*)> onClosed)
      : onClosed_(std::move(onClosed)) {}

  bool build();
  void start() {
    presenter_->start();
    afterAction();
  }

  void close() override {
    if (hwnd() != nullptr) {
      SendMessageW(hwnd(), WM_CLOSE, 0, 0);
    }
  }
  void command(const std::string& command) override {
    presenter_->command(command);
    afterAction();
  }
  ConverterPresenter& presenter() override { return *presenter_; }
  bool waiting() const override { return waiting_; }

 protected:
  void onClose() override;

 private:
  // ConverterView
  void showSource(const std::string& text) override {
    source_.setAreaText(ConverterPresenter::shownSource(text));
  }
  void showList(const std::string& lxfile) override {
    list_.setAreaText(lxfile);
    list_.scrollToEnd();  // keep the end of the list in view
  }
  void showTitle(const std::string& title) override { setTitle(title); }
  void print(const std::string& line) override { std::cout << line << std::endl; }
  void pause(int ms) override;
  // ConverterWindowView
  std::string chooseFile(const std::string& title, const std::string& directory,
                         bool save) override;
  void showOptions(const ConverterOptions& options) override;

  void lock(bool locked);
  // After an operator action: a close asked for during a pause happens now.
  void afterAction() {
    if (closeRequested_ && !waiting_) {
      closeRequested_ = false;
      requestClose();
    }
  }
  int layoutButtons(const std::vector<ButtonSpec>& specs, int right, int y,
                    std::vector<std::unique_ptr<ButtonCtrl>>& out);

  std::function<void(ConverterWindow*)> onClosed_;
  std::unique_ptr<ConverterPresenter> presenter_;
  bool waiting_ = false;
  bool closeRequested_ = false;
  bool closing_ = false;
  Font areaFont_;
  Font buttonFont_;
  std::vector<Font> boxFonts_;
  TextAreaCtrl source_;
  TextAreaCtrl list_;
  CheckBoxCtrl useini_, usefnl_, recmode_, namech_, autoch_, opti_;
  std::vector<std::unique_ptr<ButtonCtrl>> buttons_;
};

int ConverterWindowImpl::layoutButtons(const std::vector<ButtonSpec>& specs, int right, int y,
                                       std::vector<std::unique_ptr<ButtonCtrl>>& out) {
  // Right-aligned, each as wide as its label in the bold font needs.
  HDC dc = GetDC(hwnd());
  HGDIOBJ old = SelectObject(dc, buttonFont_.handle());
  std::vector<int> widths;
  int total = 0;
  for (const auto& s : specs) {
    const std::wstring w = NativeFile::wide(s.label);
    SIZE ext{};
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &ext);
    widths.push_back(MulDiv(ext.cx, 96, dpi()) + 20);
    total += widths.back() + 4;
  }
  SelectObject(dc, old);
  ReleaseDC(hwnd(), dc);
  int x = right - total;
  for (std::size_t i = 0; i < specs.size(); ++i) {
    auto b = std::make_unique<ButtonCtrl>();
    b->create(*this, specs[i].label, x, y, widths[i], kButtonHeight);
    b->setFont(buttonFont_);
    const std::string cmd = specs[i].command;
    b->onClick([this, cmd] { command(cmd); });
    x += widths[i] + 4;
    out.push_back(std::move(b));
  }
  return x;
}

bool ConverterWindowImpl::build() {
  if (!create(ControllerApp::title + " --- Tavlist2", kWidth, kHeight, {90, 90, 240})) {
    return false;
  }
  areaFont_ = makeFont("Courier New", 16);
  buttonFont_ = makeFont("Arial", 19, true);
  source_.create(*this, kMargin, kMargin, kSourceWidth, kAreaHeight, true);
  list_.create(*this, 2 * kMargin + kSourceWidth, kMargin, kListWidth, kAreaHeight, false);
  source_.setFont(areaFont_);
  list_.setFont(areaFont_);
  source_.setColours({0, 0, 0}, {230, 230, 190});
  list_.setColours({0, 0, 0}, {200, 220, 220});

  using Option = ConverterPresenter::Option;
  struct OptionBox {
    CheckBoxCtrl* box;
    const char* label;
    Option option;
  };
  const OptionBox boxes[] = {
      {&useini_, "Use INI", Option::UseIni}, {&usefnl_, "Use FNL", Option::UseFnl},
      {&recmode_, "All PS", Option::AllPs},  {&namech_, "NameCH", Option::NameCh},
      {&autoch_, "AutoCH", Option::AutoCh},  {&opti_, "Optimize", Option::Optimize}};
  const int checkX = kWidth - kMargin - kChecksWidth;
  int y = kMargin + 20;
  for (const OptionBox& entry : boxes) {
    entry.box->create(*this, entry.label, checkX, y, kChecksWidth, 24);
    // The label shows whole beside its box at any dpi.
    boxFonts_.push_back(entry.box->fitFont("Helvetica", kFontPixels, false, {entry.label}));
    entry.box->onToggle([this, option = entry.option](bool on) {
      presenter_->option(option, on);
      afterAction();
    });
    y += 34;
  }

  const int row1 = kMargin + kAreaHeight + 8;
  layoutButtons({{"Load Source EDL", "load"},
                 {"Auto Process EDL", "auto"},
                 {"Process Line", "next"},
                 {"Step Back", "back"},
                 {"Save LX-1 EDL", "save"}},
                kWidth - kMargin + 4, row1, buttons_);
  layoutButtons(
      {{"ST", "stop"}, {"PS", "pause"}, {"CH", "chap"}, {"New Tape", "wait"}, {"Delete", "del"}},
      kWidth - kMargin + 4, row1 + kButtonHeight + 6, buttons_);

  ConverterWindowView& view = *this;
  presenter_ = std::make_unique<ConverterPresenter>(view, ConverterOptions::fromSettings());
  return true;
}

void ConverterWindowImpl::showOptions(const ConverterOptions& opts) {
  // Showing the options is not an operator's change: setChecked runs no handler.
  useini_.setChecked(opts.initialize);
  usefnl_.setChecked(opts.finalize);
  recmode_.setChecked(opts.onetitle);
  namech_.setChecked(opts.namechapters);
  autoch_.setChecked(opts.autochapter);
  opti_.setChecked(opts.optimize);
}

std::string ConverterWindowImpl::chooseFile(const std::string& title, const std::string& directory,
                                            bool save) {
  if (chooser) {
    return chooser(title, directory, save);
  }
  const auto path =
      save ? FileDialog::save(this, title, directory) : FileDialog::open(this, title, directory);
  return path.value_or("");
}

void ConverterWindowImpl::lock(bool locked) {
  for (CheckBoxCtrl* box : {&useini_, &usefnl_, &recmode_, &namech_, &autoch_, &opti_}) {
    box->setEnabled(!locked);
  }
  for (auto& b : buttons_) {
    b->setEnabled(!locked);
  }
}

void ConverterWindowImpl::pause(int ms) {
  if (ms <= 0 || waiting_) {
    return;
  }
  // The window keeps painting its message while its controls are locked; other windows go on.
  waiting_ = true;
  lock(true);
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  bool quit = false;
  int quitCode = 0;
  for (;;) {
    const DWORD now = GetTickCount();
    const auto left = static_cast<LONG>(end - now);
    if (left <= 0 || quit) {
      break;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quitCode = static_cast<int>(msg.wParam);
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (hwnd() != nullptr) {
    lock(false);
  }
  waiting_ = false;
  if (quit) {
    PostQuitMessage(quitCode);  // the program's own loop ends as it was asked to
  }
}

void ConverterWindowImpl::onClose() {
  if (closing_) {
    return;
  }
  if (waiting_) {
    // The converter is in the middle of a command; the window closes when it ends.
    closeRequested_ = true;
    return;
  }
  closing_ = true;
  auto onClosed = std::move(onClosed_);
  destroy();
  if (onClosed) {
    onClosed(this);
  }
  delete this;  // the window's own ownership: nothing touches the object after this
}

}  // namespace

ConverterWindow* ConverterWindow::open(std::function<void(ConverterWindow*)> onClosed) {
  auto* w = new ConverterWindowImpl(std::move(onClosed));
  if (!w->build()) {
    delete w;
    return nullptr;
  }
  w->show();
  try {
    w->start();
  } catch (const std::exception& e) {
    std::cout << "Converter error: " << e.what() << std::endl;
  }
  return w;
}
