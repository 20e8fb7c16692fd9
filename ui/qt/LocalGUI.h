#pragma once

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "deck/DeckView.h"
#include "ui/core/ControlLayout.h"
#include "ui/core/ControlPresenter.h"
#include "ui/core/ControlView.h"
#include "ui/core/EditorKey.h"

class QLineEdit;
class QPushButton;
class QScrollBar;
class EDLViewer;
class LocalVCR;
class LoggerGUI;

// The control window drawn with Qt: the components of ControlLayout at their fixed positions.
// Every decision (what a button, key or shuttle move does, the highlights, the cue lock, the
// stale display, closing) is ControlPresenter's; this class creates the widgets, draws and
// forwards events. The controller reaches the window through DeckView (the presenter), whose
// calls arrive here queued on the GUI thread.
//
// Components carry their field names as object names ("bplay", "cuefield", "vsb", ...) and
// buttons their action command in the property kActionCommand.
class LocalGUI : public QWidget, public DeckView, private ControlView {
  Q_OBJECT

 public:
  static constexpr int dx = ControlLayout::dx;
  static constexpr int dy = ControlLayout::dy;
  static constexpr int TCfontheight = ControlLayout::TCfontheight;
  static constexpr int shuttleHeight = ControlLayout::shuttleHeight;
  static constexpr int shuttleCentre = ControlPresenter::shuttleCentre;
  static constexpr const char* kActionCommand = "actionCommand";

  static QColor backgroundcol() { return {90, 170, 250}; }
  static QColor tccolor() { return {250, 80, 80}; }
  static QColor staleColor() { return {120, 60, 60}; }
  static QColor lightGray() { return {192, 192, 192}; }
  static QColor darkGray() { return {64, 64, 64}; }

  // Builds the window from the settings (deck kind, title, note, width, font height). It stays
  // hidden until show(); buttons only show their command until attach() gives the controller.
  explicit LocalGUI(QWidget* parent = nullptr);
  ~LocalGUI() override;

  // The controller the buttons drive. Set once, before the window is shown to the operator.
  void attach(LocalVCR& vcr);
  ControlPresenter& presenter() { return presenter_; }

  // --- DeckView: safe from any thread; the presenter queues each to the GUI thread ---
  void ShowTC(const std::string& tc) override { presenter_.ShowTC(tc); }
  void ShowStatus(const std::string& text) override { presenter_.ShowStatus(text); }
  void clearbuttons() override { presenter_.clearbuttons(); }
  void hilight(DeckButton button) override { presenter_.hilight(button); }
  void setCueLocked(bool locked) override { presenter_.setCueLocked(locked); }
  void ShowCueField(const std::string& text) override { presenter_.ShowCueField(text); }
  void ShowEndField(const std::string& text) override { presenter_.ShowEndField(text); }
  void copyToClipboard(const std::string& text) override { presenter_.copyToClipboard(text); }
  void openLogger() override { presenter_.openLogger(); }
  void ShowStale(bool stale) override { presenter_.ShowStale(stale); }
  void centreShuttle() override { presenter_.centreShuttle(); }

  // The component a highlight belongs to; nullptr when this deck type has none (LX1: standby,
  // shuttle). GUI thread.
  QWidget* component(DeckButton button) const;
  // Components highlighted since the last clearbuttons. GUI thread.
  const std::set<DeckButton>& highlighted() const { return presenter_.highlighted(); }
  // The rectangle of a component's highlight bar: 2 pixels directly above it.
  static QRect barRect(const QWidget& w);
  // Height that the placement gives the window (the y of the status line + dy + 8).
  int layoutHeight() const { return layout_.height(); }

  static int shuttleSpeed(int value) { return ControlPresenter::shuttleSpeed(value); }
  // The editor key of a Qt key code, if it is one.
  static std::optional<EditorKey> editorKey(int qtKey);
  // The action command of a Qt key on this deck kind, empty when the key is not one of them.
  static QString keyCommand(int key, bool lx1, bool playing);

 signals:
  // Emitted once, after a close of the window has stopped the controller and closed the
  // logger and converter windows. The program quits on it.
  void closed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // ControlView
  void post(std::function<void()> fn) override;
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
  void bindKeys();
  void fitTexts();
  void setButtonColour(QPushButton* b, const QColor& c);
  QWidget* widget(const char* field) const;

  ControlPresenter presenter_;
  ControlLayout layout_;
  int width_ = 320;
  bool closing_ = false;
  std::map<std::string, QWidget*> widgets_;

  QLineEdit* tcfield_ = nullptr;
  QLineEdit* cuefield_ = nullptr;
  QLineEdit* endfield_ = nullptr;
  QLineEdit* statusfield_ = nullptr;
  QScrollBar* vsb_ = nullptr;
  QPushButton* blogger_ = nullptr;

  QPointer<LoggerGUI> logger_;
  std::vector<QPointer<EDLViewer>> viewers_;
};
