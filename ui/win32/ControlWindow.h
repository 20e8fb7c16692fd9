#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/core/ControlLayout.h"
#include "ui/core/ControlPresenter.h"
#include "ui/core/ControlView.h"
#include "ui/core/EditorKey.h"
#include "ui/win32/ButtonCtrl.h"
#include "ui/win32/EditCtrl.h"
#include "ui/win32/ScrollBarCtrl.h"
#include "ui/win32/StaticCtrl.h"
#include "ui/win32/TooltipCtrl.h"
#include "ui/win32/Window.h"

class ConverterWindow;
class LocalVCR;
class LoggerWindow;

// The control window drawn with the Win32 API: the components of ControlLayout at their fixed
// positions. Every decision (what a button, key or shuttle move does, the highlights, the cue
// lock, the stale display, closing) is ControlPresenter's; this class makes the controls, draws
// and forwards events. The controller reaches the window through presenter() as its DeckView,
// whose calls arrive here posted to the window thread.
class ControlWindow : public Window, private ControlView {
 public:
  ControlWindow();
  ~ControlWindow() override;

  // Builds the window from the settings (deck kind, title, note, width, font height); hidden
  // until show(). False when the system refuses (no display).
  bool create();
  // The controller the buttons drive. Set once, before the window is shown to the operator.
  void attach(LocalVCR& vcr) { presenter_.attach(vcr); }
  // The controller's view of the window: safe from any thread.
  ControlPresenter& presenter() { return presenter_; }
  // Runs once the closing sequence has finished (before the message loop ends).
  void onClosed(std::function<void()> fn) { onClosed_ = std::move(fn); }

  // The editor key of a virtual-key code, if it is one.
  static std::optional<EditorKey> editorKey(UINT virtualKey);

 protected:
  void onClose() override;
  void onEndSession() override;
  bool onKey(UINT virtualKey, bool inEdit, bool repeat) override;
  bool onMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  // ControlView
  void post(std::function<void()> fn) override { Window::post(std::move(fn)); }
  void after(int ms, std::function<void()> fn) override;
  void showField(Field field, const std::string& text) override;
  void showCueLock(bool locked) override;
  void repaintBar(DeckButton button) override;
  void showStale(bool stale) override;
  void showShuttle(int value) override;
  void showLoggerButton(bool enabled) override;
  bool raiseLogger() override;
  void openLogger(LocalVCR& vcr) override;
  void openConverter() override;
  void copyText(const std::string& text) override;
  void closeOtherWindows() override;

  void build();
  void addTooltips();
  // A text wider than its component gets a smaller font, never a cut.
  void fitText(Control& control, const std::string& text, int preferred, bool bold);
  void closeSequence();
  Control* control(const std::string& field) const;
  Control* component(DeckButton button) const;

  ControlPresenter presenter_;
  ControlLayout layout_;
  bool closing_ = false;
  std::function<void()> onClosed_;

  std::vector<Font> fonts_;  // each text's font, as large as fits its component
  std::deque<ButtonCtrl> buttons_;
  std::deque<EditCtrl> edits_;
  std::deque<StaticCtrl> labels_;
  ScrollBarCtrl vsb_;
  bool hasShuttle_ = false;
  bool barsPending_ = false;  // a sync of the highlight bars is posted
  TooltipCtrl tips_;
  std::map<std::string, Control*> controls_;
  EditCtrl* tcfield_ = nullptr;
  EditCtrl* cuefield_ = nullptr;
  EditCtrl* endfield_ = nullptr;
  EditCtrl* statusfield_ = nullptr;
  ButtonCtrl* blogger_ = nullptr;

  // Pending after() calls by timer id.
  std::map<UINT_PTR, std::function<void()>> timers_;
  UINT_PTR nextTimer_ = 1;

  LoggerWindow* logger_ = nullptr;
  std::vector<ConverterWindow*> converters_;
};
