#include "ui/win32/PlaceholderWindow.h"

#include <iostream>

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"
#include "ui/win32/Clipboard.h"

namespace {

constexpr int kDx = 60;  // column pitch, as in the control window's grid
constexpr int kDy = 24;  // row height

}  // namespace

bool PlaceholderWindow::create() {
  const int width = 5 * kDx + 10;
  const int height = 4 * kDy + 40;
  if (!Window::create(ControllerApp::title, width, height, {90, 170, 250})) {
    return false;
  }
  setFont(makeFont("Helvetica", ControllerApp::fontheight));
  tcFont_ = makeFont("Helvetica", 18);
  boldFont_ = makeFont("Helvetica", ControllerApp::fontheight, true);
  const char* kind = ControllerApp::zarix ? "REC Controls - "
                     : ControllerApp::lx1 ? "LX1 Controls - "
                                          : "VTR Controls - ";
  int y = 5;
  kind_.create(*this, kind + ControllerApp::note, 5, y, 180, kDy);
  tc_.create(*this, "00:00:00:00", 5 + 3 * kDx, y, 2 * kDx, kDy);
  tc_.setReadOnly(true);
  tc_.setFont(tcFont_);
  tc_.setColours({250, 80, 80}, {0, 0, 0});
  y += kDy + 8;
  play_.create(*this, "Play >", 5 + 3 * kDx, y, kDx, kDy);
  stop_.create(*this, "Stop *", 5 + 2 * kDx, y, kDx, kDy);
  play_.onClick([this] {
    if (vcr_ != nullptr) {
      LocalVCR* v = vcr_;
      v->takeover([v] { v->play(); });
    }
  });
  stop_.onClick([this] {
    if (vcr_ != nullptr) {
      LocalVCR* v = vcr_;
      v->takeover([v] { v->stop(); });
    }
  });
  y += kDy + 10;
  statusLabel_.create(*this, "Status/Results", 5, y, 100, kDy);
  y += kDy;
  status_.create(*this, "", 5, y, 5 * kDx, kDy);
  status_.setReadOnly(true);
  return true;
}

void PlaceholderWindow::ShowTC(const std::string& tc) {
  post([this, tc] { tc_.setTextIfChanged(tc); });
}

void PlaceholderWindow::ShowStatus(const std::string& text) {
  post([this, text] { status_.setTextIfChanged(text); });
}

void PlaceholderWindow::clearbuttons() {
  post([this] {
    setHighlight(play_, false);
    setHighlight(stop_, false);
  });
}

void PlaceholderWindow::hilight(DeckButton button) {
  post([this, button] {
    if (button == DeckButton::Play) {
      setHighlight(play_, true);
    } else if (button == DeckButton::Stop) {
      setHighlight(stop_, true);
    }
  });
}

void PlaceholderWindow::setCueLocked(bool) {}

void PlaceholderWindow::ShowCueField(const std::string&) {}

void PlaceholderWindow::ShowEndField(const std::string&) {}

void PlaceholderWindow::copyToClipboard(const std::string& text) {
  post([this, text] { Clipboard::setText(*this, text); });
}

void PlaceholderWindow::openLogger() {}

void PlaceholderWindow::closeSequence() {
  if (closing_) {
    return;
  }
  closing_ = true;
  ShowWindow(hwnd(), SW_HIDE);
  if (vcr_ != nullptr) {
    try {
      vcr_->close();  // stops polling and the worker, then the closing Stop frames
    } catch (const std::exception& e) {
      std::cout << "Close error: " << e.what() << std::endl;
    }
  }
  std::cout.flush();
  if (onClosed_) {
    onClosed_();
  }
}

void PlaceholderWindow::onClose() {
  closeSequence();
  destroy();
  PostQuitMessage(0);
}

void PlaceholderWindow::onEndSession() {
  // The session ends when this returns: the closing sequence runs here, in full.
  closeSequence();
}
