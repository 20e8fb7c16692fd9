#pragma once

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "deck/DeckView.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTimer;
class EDLViewer;
class LocalVCR;
class LoggerGUI;

// The control window: deck-type caption, timecode display, transport, cue and jog buttons, the
// cue (in) and end (out) fields, the shuttle bar, script, logger and converter buttons and the
// status line, all placed at fixed positions.
//
// Every button shows its action command in the status line at once, on the GUI thread, and then
// hands the deck operation to the controller's operator worker, so the window keeps repainting
// while a script, a review or a jog sequence runs. The controller reaches the window through
// DeckView; each of those calls may come from any thread and is queued to the GUI thread.
//
// Components carry their field names as object names ("bplay", "cuefield", "vsb", ...) and
// buttons their action command in the property kActionCommand.
class LocalGUI : public QWidget, public DeckView {
  Q_OBJECT

 public:
  static constexpr int dx = 60;            // column pitch and standard button width
  static constexpr int dy = 24;            // row height
  static constexpr int TCfontheight = 18;  // font size of the three timecode fields
  static constexpr int shuttleHeight = 25;
  static constexpr int shuttleCentre = 48;
  static constexpr const char* kActionCommand = "actionCommand";

  static QColor backgroundcol() { return {90, 170, 250}; }
  static QColor tccolor() { return {250, 80, 80}; }
  static QColor lightGray() { return {192, 192, 192}; }
  static QColor darkGray() { return {64, 64, 64}; }

  // Builds the window from the settings (deck kind, title, note, width, font height). It stays
  // hidden until show(); buttons only show their command until attach() gives the controller.
  explicit LocalGUI(QWidget* parent = nullptr);
  ~LocalGUI() override;

  // The controller the buttons drive. Set once, before the window is shown to the operator.
  void attach(LocalVCR& vcr);

  // --- DeckView: safe from any thread; queued to the GUI thread, never waits for it ---
  void ShowTC(const std::string& tc) override;
  void ShowStatus(const std::string& text) override;
  void clearbuttons() override;
  void hilight(DeckButton button) override;
  void setCueLocked(bool locked) override;
  void ShowCueField(const std::string& text) override;
  void ShowEndField(const std::string& text) override;
  void copyToClipboard(const std::string& text) override;
  void openLogger() override;

  // The component a highlight belongs to; nullptr when this deck type has none (LX1: standby,
  // shuttle). GUI thread.
  QWidget* component(DeckButton button) const;
  // Components highlighted since the last clearbuttons. GUI thread.
  const std::set<DeckButton>& highlighted() const { return highlighted_; }
  // The rectangle of a component's highlight bar: 2 pixels directly above it.
  static QRect barRect(const QWidget& w);

  // Height that the placement gives the window (the y of the status line + dy + 8).
  int layoutHeight() const { return height_; }

  // The speed rule of the shuttle bar: positive = forward speed, negative = reverse speed,
  // 0 = pause. 54..95 -> 2(v-48) forward, 0..42 -> 2(48-v) reverse, 43..53 -> pause.
  static int shuttleSpeed(int value);

  // The editor keys: one table, key -> action command, beside the buttons' commands so a key
  // and its button cannot drift apart. `lx1Command` is the command on the LX1; Space gives
  // `playingCommand` instead when the polled status says play.
  struct KeyBinding {
    int key;
    const char* name;
    const char* command;
    const char* lx1Command;
    const char* playingCommand;  // nullptr: the same whatever the deck does
  };
  static const std::vector<KeyBinding>& keyBindings();
  // The action command of a key on this deck kind, empty when the key is not one of them.
  static QString keyCommand(int key, bool lx1, bool playing);
  // The speed byte of the J / L shuttle keys after `presses` presses in one direction: 1x, 2x,
  // 4x, then 8x play speed by speed = 10^(N/32 - 2).
  static int shuttleKeySpeed(int presses);
  // Transport controls (rows 2 to 4, the jog buttons, the shuttle bar and its keys) take the
  // deck over from a running script, review or sequence.
  static bool isTransport(const QString& command);
  // A key press as the window takes it; false when the key is not the window's. In an editable
  // text field only Escape is.
  bool handleKey(int key, bool inTextField);

 signals:
  // Emitted once, after a close of the window has stopped the controller and closed the
  // logger and converter windows. The program quits on it.
  void closed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPushButton* makeButton(const char* field, const QString& label, const QString& command, int x,
                          int y, int w = dx);
  void place(QWidget* w, const char* field, int x, int y, int width, int height = dy);
  void buildLayout();
  void dispatch(const QString& command);
  std::function<void()> actionFor(const QString& command) const;
  // How an action reaches the worker: queued in order, as a run the operator can take over, or
  // as a takeover (a transport control), which may itself be a sequence with waits.
  enum class Post { Plain, Run, Takeover, TakeoverRun };
  void postToWorker(std::function<void()> action, Post how = Post::Plain);
  void takeoverWorker(std::function<void()> action);
  void bindKeys();
  void onShuttle(int value);
  void onCueEnter();
  void onLoggerButton();
  void onTavlist();
  void setButtonColour(QPushButton* b, const QColor& c);
  void closeOtherWindows();
  void runOnGui(std::function<void()> fn);

  LocalVCR* vcr_ = nullptr;
  bool lx1_ = false;
  bool zarix_ = false;
  bool lanc_ = false;
  int width_ = 320;
  int height_ = 0;
  bool closing_ = false;

  QLabel* vcrlabel_ = nullptr;
  QLineEdit* tcfield_ = nullptr;
  QLineEdit* cuefield_ = nullptr;
  QLineEdit* endfield_ = nullptr;
  QLabel* statuslabel_ = nullptr;
  QLineEdit* statusfield_ = nullptr;
  QScrollBar* vsb_ = nullptr;
  int vsbval_ = shuttleCentre;

  QPushButton* brew_ = nullptr;
  QPushButton* bpause_ = nullptr;
  QPushButton* bstop_ = nullptr;
  QPushButton* bplay_ = nullptr;
  QPushButton* bfwd_ = nullptr;
  QPushButton* beeon_ = nullptr;
  QPushButton* brecord_ = nullptr;
  QPushButton* bsbyon_ = nullptr;
  QPushButton* bcue_ = nullptr;
  QPushButton* bcueplay_ = nullptr;
  QPushButton* bcueout_ = nullptr;
  QPushButton* breview_ = nullptr;
  QPushButton* bjogr_ = nullptr;
  QPushButton* bjogf_ = nullptr;
  QPushButton* blogger_ = nullptr;

  // Bars stay until the next clearbuttons, so a repaint of the window keeps them.
  std::set<DeckButton> highlighted_;
  // Highlights that arrive after a clearbuttons, shown together by settleHighlights.
  std::set<DeckButton> nextHighlights_;
  bool gathering_ = false;
  static constexpr int kSettleMs = 40;
  QTimer* settleTimer_ = nullptr;
  void settleHighlights();
  static void setTextIfChanged(QLineEdit* field, const QString& text);
  // The timecode last handed to the GUI thread; written by the polling thread.
  std::mutex shownTcMutex_;
  std::string shownTc_;

  // Shuttle moves that arrive while the previous one still waits in the worker's queue
  // replace its value instead of queueing one frame per step of a drag. -1 = taken by the worker.
  std::shared_ptr<std::atomic<int>> shuttleSlot_;
  bool lastPostWasShuttle_ = false;
  // J / L presses in a row: direction (+1 forward, -1 reverse) and count.
  int shuttleKeyDir_ = 0;
  int shuttleKeyPresses_ = 0;

  QPointer<LoggerGUI> logger_;
  std::vector<QPointer<EDLViewer>> viewers_;
};
