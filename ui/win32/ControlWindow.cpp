#include "ui/win32/ControlWindow.h"

#include <exception>
#include <iostream>
#include <stdexcept>

#include "app/ControllerApp.h"
#include "app/NativeFile.h"
#include "deck/LocalVCR.h"
#include "ui/core/KeyMap.h"
#include "ui/core/TextFit.h"
#include "ui/win32/Clipboard.h"
#include "ui/win32/ConverterWindow.h"
#include "ui/win32/LoggerWindow.h"

namespace {

constexpr Colour kBackground{90, 170, 250};
constexpr Colour kTimecode{250, 80, 80};
constexpr Colour kStale{120, 60, 60};
constexpr Colour kBlack{0, 0, 0};
constexpr Colour kRed{255, 0, 0};
constexpr Colour kLightGray{192, 192, 192};
constexpr Colour kDarkGray{64, 64, 64};
}  // namespace

ControlWindow::ControlWindow()
    : presenter_(*this, ControllerApp::lx1, ControllerApp::zarix, ControllerApp::lanc),
      layout_(
          ControlLayout::forDeck(ControllerApp::lx1, ControllerApp::zarix, ControllerApp::note)) {}

ControlWindow::~ControlWindow() {
  for (const auto& [id, fn] : timers_) {
    if (hwnd() != nullptr) {
      KillTimer(hwnd(), id);
    }
  }
}

bool ControlWindow::create() {
  if (!Window::create(ControllerApp::title, ControllerApp::width, layout_.height(), kBackground)) {
    return false;
  }
  setFont(makeFont("Helvetica", ControllerApp::fontheight));
  build();
  addTooltips();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Building from the layout table

void ControlWindow::build() {
  using Kind = ControlLayout::Kind;
  for (const ControlLayout::Item& item : layout_.items()) {
    Control* made = nullptr;
    switch (item.kind) {
      case Kind::Caption:
      case Kind::StatusLabel: {
        StaticCtrl& label = labels_.emplace_back();
        label.create(*this, item.label, item.x, item.y, item.w, item.h);
        fitText(label, item.label, ControllerApp::fontheight, false);
        made = &label;
        break;
      }
      case Kind::Display:
      case Kind::TimeField:
      case Kind::StatusField: {
        EditCtrl& field = edits_.emplace_back();
        field.create(*this, item.label, item.x, item.y, item.w, item.h);
        // Tab never leads into a field: the keyboard stays with the deck's keys. The in and
        // out fields take it only when clicked into.
        SetWindowLongPtrW(field.hwnd(), GWL_STYLE,
                          GetWindowLongPtrW(field.hwnd(), GWL_STYLE) & ~WS_TABSTOP);
        field.setReadOnly(item.kind != Kind::TimeField);
        if (item.kind != Kind::StatusField) {
          // Any timecode shows whole, drop-frame labels too.
          fonts_.push_back(
              field.fitFont("Helvetica", ControlLayout::TCfontheight, false, TextFit::timecodes()));
        } else {
          // Status texts vary; whatever the FontHeight setting, a line is not cut off below.
          fonts_.push_back(field.fitFont("Helvetica", ControllerApp::fontheight, false, {}));
        }
        made = &field;
        break;
      }
      case Kind::Button: {
        ButtonCtrl& b = buttons_.emplace_back();
        b.create(*this, item.label, item.x, item.y, item.w, item.h);
        // REC and SCRIPT stand out: red, bold.
        b.setColours(item.strong ? kRed : kBlack, kLightGray);
        fitText(b, item.label, ControllerApp::fontheight, item.strong);
        if (item.field == "blogger") {
          b.onClick([this] { presenter_.loggerPressed(); });
        } else {
          const std::string command = item.command;
          b.onClick([this, command] { presenter_.pressed(command); });
        }
        made = &b;
        break;
      }
      case Kind::Shuttle:
        vsb_.create(*this, true, item.x, item.y, item.w, item.h);
        // The operator reaches the values 0..95 with a thumb 20 long.
        vsb_.setRange(0, 95, 20);
        vsb_.setValue(ControlPresenter::shuttleCentre);
        vsb_.onChange([this](int value) { presenter_.shuttleMoved(value); });
        hasShuttle_ = true;
        made = &vsb_;
        break;
    }
    controls_[item.field] = made;
  }
  tcfield_ = static_cast<EditCtrl*>(control("tcfield"));
  cuefield_ = static_cast<EditCtrl*>(control("cuefield"));
  endfield_ = static_cast<EditCtrl*>(control("endfield"));
  statusfield_ = static_cast<EditCtrl*>(control("statusfield"));
  blogger_ = static_cast<ButtonCtrl*>(control("blogger"));
  tcfield_->setColours(kTimecode, kBlack);
  cuefield_->onEnter([this] { presenter_.cueEntered(cuefield_->text()); });
  // Operator edits keep the controller's store in step with what the fields show.
  cuefield_->onEdited([this](const std::string& t) { presenter_.cueEdited(t); });
  endfield_->onEdited([this](const std::string& t) { presenter_.endEdited(t); });
}

void ControlWindow::fitText(Control& control, const std::string& text, int preferred, bool bold) {
  fonts_.push_back(control.fitFont("Helvetica", preferred, bold, {text}));
}

void ControlWindow::addTooltips() {
  if (!tips_.create(*this)) {
    return;
  }
  // Tooltips name the keys of each button, from the same table as the keys.
  const auto tips = KeyMap::tooltips(ControllerApp::lx1);
  for (const ControlLayout::Item& item : layout_.items()) {
    if (item.kind != ControlLayout::Kind::Button) {
      continue;
    }
    if (const auto it = tips.find(item.command); it != tips.end()) {
      tips_.add(*control(item.field), it->second);
    }
  }
  if (hasShuttle_) {
    tips_.add(vsb_, KeyMap::shuttleTooltip());
  }
}

Control* ControlWindow::control(const std::string& field) const {
  const auto it = controls_.find(field);
  return it == controls_.end() ? nullptr : it->second;
}

Control* ControlWindow::component(DeckButton button) const {
  if (!presenter_.hasComponent(button)) {
    return nullptr;
  }
  switch (button) {
    case DeckButton::Play:
      return control("bplay");
    case DeckButton::Record:
      return control("brecord");
    case DeckButton::Forward:
      return control("bfwd");
    case DeckButton::Rewind:
      return control("brew");
    case DeckButton::Stop:
      return control("bstop");
    case DeckButton::StandbyOn:
      return control("bsbyon");
    case DeckButton::JogForward:
      return control("bjogf");
    case DeckButton::JogReverse:
      return control("bjogr");
    case DeckButton::Shuttle:
      return hasShuttle_ ? const_cast<ScrollBarCtrl*>(&vsb_) : nullptr;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Editor keys

std::optional<EditorKey> ControlWindow::editorKey(UINT virtualKey) {
  switch (virtualKey) {
    case VK_SPACE:
      return EditorKey::Space;
    case 'K':
      return EditorKey::K;
    case 'J':
      return EditorKey::J;
    case 'L':
      return EditorKey::L;
    case VK_LEFT:
      return EditorKey::Left;
    case VK_RIGHT:
      return EditorKey::Right;
    case 'I':
      return EditorKey::I;
    case 'O':
      return EditorKey::O;
    case VK_ESCAPE:
      return EditorKey::Escape;
    default:
      return std::nullopt;
  }
}

bool ControlWindow::onKey(UINT virtualKey, bool inEdit, bool repeat) {
  const auto k = editorKey(virtualKey);
  // With Ctrl, Alt or the Windows key held the key is a shortcut, not an editor key.
  const bool modified =
      (GetKeyState(VK_CONTROL) & 0x8000) != 0 || (GetKeyState(VK_MENU) & 0x8000) != 0 ||
      (GetKeyState(VK_LWIN) & 0x8000) != 0 || (GetKeyState(VK_RWIN) & 0x8000) != 0;
  if (!k || modified) {
    return false;
  }
  return presenter_.key(*k, inEdit, repeat);
}

// ---------------------------------------------------------------------------------------------
// ControlView

void ControlWindow::after(int ms, std::function<void()> fn) {
  if (hwnd() == nullptr) {
    return;
  }
  const UINT_PTR id = nextTimer_++;
  timers_[id] = std::move(fn);
  SetTimer(hwnd(), id, static_cast<UINT>(ms), nullptr);
}

bool ControlWindow::onMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
  if (msg != WM_TIMER) {
    return false;
  }
  KillTimer(hwnd(), wp);
  const auto it = timers_.find(wp);
  if (it != timers_.end()) {
    std::function<void()> fn = std::move(it->second);
    timers_.erase(it);
    fn();
  }
  result = 0;
  return true;
}

void ControlWindow::showField(Field field, const std::string& text) {
  switch (field) {
    case Field::Timecode:
      tcfield_->setTextIfChanged(text);
      break;
    case Field::Cue:
      cuefield_->setTextIfChanged(text);
      break;
    case Field::End:
      endfield_->setTextIfChanged(text);
      break;
    case Field::Status:
      statusfield_->setTextIfChanged(text);
      break;
  }
}

void ControlWindow::showCueLock(bool locked) {
  HWND focused = GetFocus();
  for (const char* field : {"bcue", "bcueout", "bcueplay", "breview"}) {
    auto* b = static_cast<ButtonCtrl*>(control(field));
    if (b == nullptr) {
      continue;
    }
    if (locked && focused == b->hwnd()) {
      SetFocus(hwnd());  // the keys keep driving the deck
    }
    b->setEnabled(!locked);
    b->setColours(kBlack, locked ? kDarkGray : kLightGray);
  }
  if (locked && (focused == cuefield_->hwnd() || focused == endfield_->hwnd())) {
    SetFocus(hwnd());
  }
  cuefield_->setReadOnly(locked);
  endfield_->setReadOnly(locked);
}

void ControlWindow::repaintBar(DeckButton) {
  // The presenter may tell of a bar before its set of highlights changes: the bars follow the
  // set once the current event is done.
  if (barsPending_) {
    return;
  }
  barsPending_ = true;
  post([this] {
    barsPending_ = false;
    for (DeckButton b : {DeckButton::Play, DeckButton::Record, DeckButton::Forward,
                         DeckButton::Rewind, DeckButton::Stop, DeckButton::StandbyOn,
                         DeckButton::JogForward, DeckButton::JogReverse, DeckButton::Shuttle}) {
      if (const Control* c = component(b); c != nullptr) {
        setHighlight(*c, presenter_.highlighted().contains(b));
      }
    }
  });
}

void ControlWindow::showStale(bool stale) {
  tcfield_->setColours(stale ? kStale : kTimecode, kBlack);
}

void ControlWindow::showShuttle(int value) {
  if (hasShuttle_) {
    vsb_.setValue(value);
  }
}

void ControlWindow::showLoggerButton(bool enabled) {
  if (!enabled && GetFocus() == blogger_->hwnd()) {
    SetFocus(hwnd());
  }
  blogger_->setEnabled(enabled);
  blogger_->setColours(kBlack, enabled ? kLightGray : kDarkGray);
}

bool ControlWindow::raiseLogger() {
  if (closing_ || logger_ == nullptr) {
    return closing_;
  }
  logger_->raise();
  return true;
}

void ControlWindow::openLogger(LocalVCR& vcr) {
  logger_ = LoggerWindow::open(vcr, [this] {
    logger_ = nullptr;
    presenter_.loggerClosed();
  });
  if (logger_ == nullptr) {
    throw std::runtime_error("the logger window could not be made");
  }
}

void ControlWindow::openConverter() {
  ConverterWindow* w =
      ConverterWindow::open([this](ConverterWindow* gone) { std::erase(converters_, gone); });
  if (w == nullptr) {
    throw std::runtime_error("the converter window could not be made");
  }
  converters_.push_back(w);
}

void ControlWindow::copyText(const std::string& text) {
  if (!Clipboard::setText(*this, text)) {
    std::cout << "Clipboard busy: the text was not copied." << std::endl;
  }
}

void ControlWindow::closeOtherWindows() {
  // Each window's closing takes it off the lists; close from copies.
  if (LoggerWindow* logger = logger_; logger != nullptr) {
    logger->close();
  }
  const std::vector<ConverterWindow*> converters = converters_;
  for (ConverterWindow* c : converters) {
    c->close();
  }
  converters_.clear();
}

// ---------------------------------------------------------------------------------------------
// Closing

void ControlWindow::closeSequence() {
  if (closing_) {
    return;
  }
  closing_ = true;
  ShowWindow(hwnd(), SW_HIDE);
  presenter_.close();  // polling and the worker stop, the closing Stop frames, other windows
  std::cout.flush();
  if (onClosed_) {
    onClosed_();
  }
}

void ControlWindow::onClose() {
  closeSequence();
  destroy();
  PostQuitMessage(0);
}

void ControlWindow::onEndSession() {
  // The session ends when this returns: the closing sequence runs here, in full.
  closeSequence();
}
