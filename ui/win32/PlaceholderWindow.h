#pragma once

#include <functional>
#include <string>

#include "deck/DeckView.h"
#include "ui/win32/ButtonCtrl.h"
#include "ui/win32/EditCtrl.h"
#include "ui/win32/StaticCtrl.h"
#include "ui/win32/Window.h"

class LocalVCR;

// The control window on Windows until the full one is built over the window logic: the
// timecode, Play and Stop with their highlight bars, and the status line. It is the deck's view
// (every call posts to the window thread and returns at once) and runs the closing sequence
// when it closes: the deck stops polling and sends its closing Stop frames, then the message
// loop ends with status 0.
class PlaceholderWindow : public Window, public DeckView {
 public:
  bool create();
  void attach(LocalVCR& vcr) { vcr_ = &vcr; }
  // Runs once the closing sequence has finished (before the message loop ends).
  void onClosed(std::function<void()> fn) { onClosed_ = std::move(fn); }

  void ShowTC(const std::string& tc) override;
  void ShowStatus(const std::string& text) override;
  void clearbuttons() override;
  void hilight(DeckButton button) override;
  void setCueLocked(bool locked) override;
  void ShowCueField(const std::string& text) override;
  void ShowEndField(const std::string& text) override;
  void copyToClipboard(const std::string& text) override;
  void openLogger() override;

 protected:
  void onClose() override;
  void onEndSession() override;

 private:
  void closeSequence();

  LocalVCR* vcr_ = nullptr;
  bool closing_ = false;
  std::function<void()> onClosed_;
  Font tcFont_;
  Font boldFont_;
  StaticCtrl kind_;
  EditCtrl tc_;
  ButtonCtrl play_;
  ButtonCtrl stop_;
  StaticCtrl statusLabel_;
  EditCtrl status_;
};
