#include "ui/LocalGUI.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <iostream>
#include <map>
#include <set>

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"
#include "ui/EDLViewer.h"
#include "ui/LoggerGUI.h"

namespace {

// The window's fonts: Helvetica where it exists, else the platform's sans-serif. Sizes are in
// pixels so that the labels fit the fixed 60 x 24 button grid whatever the screen's dpi.
QFont helvetica(int size, bool bold = false) {
  QFont f(QStringLiteral("Helvetica"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(size > 0 ? size : 1);
  f.setBold(bold);
  return f;
}

// One line on standard output for an error stopped at the window, so the window goes on.
void reportError(const char* where, const std::exception* e) {
  std::cout << where << " error: " << (e != nullptr ? e->what() : "unknown") << std::endl;
}

}  // namespace

LocalGUI::LocalGUI(QWidget* parent)
    : QWidget(parent),
      lx1_(ControllerApp::lx1),
      zarix_(ControllerApp::zarix),
      lanc_(ControllerApp::lanc),
      width_(ControllerApp::width) {
  setWindowTitle(QString::fromStdString(ControllerApp::title));
  setFont(helvetica(ControllerApp::fontheight));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, backgroundcol());
  pal.setColor(QPalette::WindowText, Qt::black);
  setPalette(pal);
  setAutoFillBackground(true);
  buildLayout();
  bindKeys();
  resize(width_, height_);
  // A clearbuttons without a status text after it still settles, a moment later.
  settleTimer_ = new QTimer(this);
  settleTimer_->setSingleShot(true);
  settleTimer_->setInterval(kSettleMs);
  connect(settleTimer_, &QTimer::timeout, this, &LocalGUI::settleHighlights);
}

LocalGUI::~LocalGUI() {
  if (logger_) {
    disconnect(logger_, nullptr, this, nullptr);
  }
  closeOtherWindows();
}

void LocalGUI::attach(LocalVCR& vcr) {
  vcr_ = &vcr;
}

// ---------------------------------------------------------------------------------------------
// Placement

void LocalGUI::place(QWidget* w, const char* field, int x, int y, int width, int height) {
  w->setObjectName(QString::fromLatin1(field));
  w->setGeometry(x, y, width, height);
}

QPushButton* LocalGUI::makeButton(const char* field, const QString& label, const QString& command,
                                  int x, int y, int w) {
  auto* b = new QPushButton(label, this);
  place(b, field, x, y, w);
  b->setProperty(kActionCommand, command);
  b->setAutoDefault(false);
  setButtonColour(b, lightGray());
  if (!command.isEmpty()) {
    connect(b, &QPushButton::clicked, this, [this, command] { dispatch(command); });
  }
  return b;
}

void LocalGUI::setButtonColour(QPushButton* b, const QColor& c) {
  QPalette p = b->palette();
  p.setColor(QPalette::Button, c);
  b->setPalette(p);
}

void LocalGUI::buildLayout() {
  const bool tape = !lx1_;
  const int x0 = 5;  // inner left of the client area + 5
  auto x = [x0](int k) { return x0 + k * dx; };

  // Row 1: deck-type caption and the timecode display.
  int y = 5;
  const char* kind = zarix_ ? "REC Controls - " : (lx1_ ? "LX1 Controls - " : "VTR Controls - ");
  vcrlabel_ =
      new QLabel(QString::fromLatin1(kind) + QString::fromStdString(ControllerApp::note), this);
  place(vcrlabel_, zarix_ ? "zarixlabel" : (lx1_ ? "lx1label" : "vcrlabel"), x(0), y, 180);

  tcfield_ = new QLineEdit(QStringLiteral("00:00:00:00"), this);
  place(tcfield_, "tcfield", x(3), y, 2 * dx);
  tcfield_->setReadOnly(true);
  tcfield_->setFont(helvetica(TCfontheight));
  {
    QPalette p = tcfield_->palette();
    p.setColor(QPalette::Base, Qt::black);
    p.setColor(QPalette::Text, tccolor());
    tcfield_->setPalette(p);
  }

  // Row 2: the main transport.
  y += dy + 8;
  brew_ = makeButton("brew", QStringLiteral("<< Rew"), QStringLiteral("Rewind"), x(0), y);
  bpause_ = makeButton("bpause", QStringLiteral("Pause ||"), QStringLiteral("Pause"), x(1), y);
  bstop_ = makeButton("bstop", QStringLiteral("Stop *"), QStringLiteral("Stop"), x(2), y);
  bplay_ = makeButton("bplay", QStringLiteral("Play >"), QStringLiteral("Play"), x(3), y);
  bfwd_ = makeButton("bfwd", QStringLiteral("Fwd >>"), QStringLiteral("Forward"), x(4), y);

  // Row 3: slow and fast speeds (tape types).
  if (tape) {
    y += dy + 4;
    makeButton("bslowfifth", QStringLiteral("Slow/5"), QStringLiteral("Slow5"), x(0), y);
    makeButton("bslowthird", QStringLiteral("Slow/3"), QStringLiteral("Slow3"), x(1), y);
    makeButton("bslowhalf", QStringLiteral("Slow/2"), QStringLiteral("Slow2"), x(2), y);
    makeButton("bfasttwo", QStringLiteral("FastX2"), QStringLiteral("Fast2"), x(3), y);
    makeButton("bfastfive", QStringLiteral("FastX5"), QStringLiteral("Fast5"), x(4), y);
  }

  // Row 4: E-E, record, standby.
  y += dy + 4;
  if (tape) {
    beeon_ = makeButton("beeon", QStringLiteral("EEOn"), QStringLiteral("EEOn"), x(0), y);
    makeButton("beeoff", QStringLiteral("EEOff"), QStringLiteral("EEOff"), x(1), y);
  }
  brecord_ = makeButton("brecord", QStringLiteral("REC"), QStringLiteral("Record"), x(2), y);
  if (tape) {
    bsbyon_ = makeButton("bsbyon", QStringLiteral("SbyON"), QStringLiteral("Sbyon"), x(3), y);
    makeButton("bsbyoff", QStringLiteral("SbyOFF"), QStringLiteral("Sbyoff"), x(4), y);
  }

  // Row 5: in and out points.
  y += dy + 10;
  makeButton("bsetcue", QStringLiteral("SetIn"), QStringLiteral("SetCue"), x(0), y);
  bcue_ = makeButton("bcue", QStringLiteral("CueIn"), QStringLiteral("Cue"), x(1), y);
  bcueplay_ =
      makeButton("bcueplay", QStringLiteral("Cue/Play"), QStringLiteral("Cueplay"), x(2), y);
  makeButton("bsetreview", QStringLiteral("SetOut"), QStringLiteral("SetRev"), x(3), y);
  bcueout_ = makeButton("bcueout", QStringLiteral("CueOut"), QStringLiteral("CueOut"), x(4), y);

  // Row 6: the cue and end fields with Review between them.
  y += dy + 6;
  cuefield_ = new QLineEdit(QStringLiteral("00:00:00:00"), this);
  place(cuefield_, "cuefield", x(0), y, 2 * dx);
  cuefield_->setFont(helvetica(TCfontheight));
  breview_ = makeButton("breview", QStringLiteral("Review"), QStringLiteral("Review"), x(2), y);
  endfield_ = new QLineEdit(QStringLiteral("00:00:00:00"), this);
  place(endfield_, "endfield", x(3), y, 2 * dx);
  endfield_->setFont(helvetica(TCfontheight));
  connect(cuefield_, &QLineEdit::returnPressed, this, &LocalGUI::onCueEnter);
  // Operator edits keep the controller's store in step with what the fields show.
  connect(cuefield_, &QLineEdit::textEdited, this, [this](const QString& t) {
    if (vcr_ != nullptr) {
      vcr_->editCueText(t.toStdString());
    }
  });
  connect(endfield_, &QLineEdit::textEdited, this, [this](const QString& t) {
    if (vcr_ != nullptr) {
      vcr_->editEndText(t.toStdString());
    }
  });

  // Row 7: jog and script.
  y += dy + (lx1_ ? 6 : 8);
  bjogr_ =
      makeButton("bjogr", QStringLiteral("<| Jog"), QStringLiteral("Jogr"), x(0), y, 2 * dx - 20);
  QPushButton* bscript =
      makeButton("bscript", QStringLiteral("SCRIPT"), QStringLiteral("SCRIPT"), x(2), y);
  bjogf_ = makeButton("bjogf", QStringLiteral("Jog |>"), QStringLiteral("Jogf"), x(3) + 20, y,
                      2 * dx - 20);

  // Row 8: the shuttle bar (tape types).
  if (tape) {
    y += dy + 8;
    vsb_ = new QScrollBar(Qt::Horizontal, this);
    place(vsb_, "vsb", x(0), y, 5 * dx, shuttleHeight);
    // A bar of 0..115 with a visible amount of 20: the operator reaches the values 0..95.
    vsb_->setRange(0, 95);
    vsb_->setPageStep(20);
    vsb_->setValue(shuttleCentre);
    connect(vsb_, &QScrollBar::valueChanged, this, &LocalGUI::onShuttle);
  }

  // Row 9: converter and logger windows.
  y += dy + 6;
  QPushButton* btavlist =
      makeButton("btavlist", QStringLiteral("LX1 Tavlist"), QString(), x(0), y, 2 * dx - 20);
  btavlist->setProperty(kActionCommand, QStringLiteral("Tavlist"));
  // The converter window opens first, then the dispatcher shows the command.
  connect(btavlist, &QPushButton::clicked, this, [this] {
    onTavlist();
    dispatch(QStringLiteral("Tavlist"));
  });
  blogger_ =
      makeButton("blogger", QStringLiteral("Logger Window"), QString(), x(3) + 20, y, 2 * dx - 20);
  connect(blogger_, &QPushButton::clicked, this, &LocalGUI::onLoggerButton);

  // Rows 10 and 11: the status line.
  y += dy + 2;
  statuslabel_ = new QLabel(QStringLiteral("Status/Results"), this);
  place(statuslabel_, "statuslabel", x(0), y, 100);
  y += dy;
  statusfield_ = new QLineEdit(this);
  place(statusfield_, "statusfield", x(0), y, 5 * dx);
  statusfield_->setReadOnly(true);

  // REC and SCRIPT stand out: red, bold.
  for (QPushButton* b : {brecord_, bscript}) {
    b->setFont(helvetica(ControllerApp::fontheight, true));
    QPalette p = b->palette();
    p.setColor(QPalette::ButtonText, Qt::red);
    b->setPalette(p);
  }

  height_ = y + dy + 8;
}

// ---------------------------------------------------------------------------------------------
// Dispatcher

std::function<void()> LocalGUI::actionFor(const QString& command) const {
  LocalVCR* v = vcr_;
  using Op = void (LocalVCR::*)();
  static const std::map<QString, Op> plain = {
      {QStringLiteral("Rewind"), &LocalVCR::rewind},
      {QStringLiteral("Pause"), &LocalVCR::pause},
      {QStringLiteral("Stop"), &LocalVCR::stop},
      {QStringLiteral("Play"), &LocalVCR::play},
      {QStringLiteral("Forward"), &LocalVCR::forward},
      {QStringLiteral("Slow5"), &LocalVCR::slowfifth},
      {QStringLiteral("Slow3"), &LocalVCR::slowthird},
      {QStringLiteral("Slow2"), &LocalVCR::slowhalf},
      {QStringLiteral("Fast2"), &LocalVCR::fasttwo},
      {QStringLiteral("Fast5"), &LocalVCR::fastfive},
      {QStringLiteral("EEOn"), &LocalVCR::eeon},
      {QStringLiteral("Record"), &LocalVCR::record},
      {QStringLiteral("Sbyon"), &LocalVCR::sbyon},
      {QStringLiteral("Sbyoff"), &LocalVCR::sbyoff},
      {QStringLiteral("SetCue"), &LocalVCR::setcue},
      {QStringLiteral("Cue"), &LocalVCR::cue},
      {QStringLiteral("Cueplay"), &LocalVCR::cueplay},
      {QStringLiteral("SetRev"), &LocalVCR::setreview},
      {QStringLiteral("CueOut"), &LocalVCR::cueout},
      {QStringLiteral("Review"), &LocalVCR::reviewclip},
      {QStringLiteral("SCRIPT"), &LocalVCR::script},
  };
  if (auto it = plain.find(command); it != plain.end()) {
    Op op = it->second;
    return [v, op] { (v->*op)(); };
  }
  // The fixed 600 ms pauses use the controller's own pause, which ends at once when it closes.
  if (command == QStringLiteral("EEOff")) {
    // The button jogs the deck out of E-E: jog forward, stop, jog back, stop.
    // A takeover ends the sequence at its current step.
    return [v] {
      v->jogf();
      if (!v->DelayT(600)) {
        return;
      }
      v->stop();
      v->jogr();
      if (!v->DelayT(600)) {
        return;
      }
      v->stop();
    };
  }
  if (command == QStringLiteral("Jogf")) {
    if (lx1_ || lanc_) {
      return [v] { v->jogf(); };
    }
    return [v] {
      v->jogf();
      if (v->DelayT(600)) {
        v->stop();
      }
    };
  }
  if (command == QStringLiteral("Jogr")) {
    if (lx1_) {
      // The LX1 gets the reverse jog frame, as its forward button gets the forward one.
      return [v] { v->jogr(); };
    }
    if (lanc_) {
      return [v] {
        v->jogr();
        v->pause();
      };
    }
    return [v] {
      v->jogr();
      if (v->DelayT(600)) {
        v->stop();
      }
    };
  }
  return {};  // "Tavlist": nothing beyond the status line
}

void LocalGUI::dispatch(const QString& command) {
  statusfield_->setText(command);
  const bool shuttleKey =
      command == QStringLiteral("ShuttleFwd") || command == QStringLiteral("ShuttleRev");
  if (!shuttleKey) {
    shuttleKeyPresses_ = 0;
  }
  if (vcr_ == nullptr) {
    return;
  }
  // SetIn and SetOut take the timecode shown at the press, not when the worker is free.
  if (command == QStringLiteral("SetCue") || command == QStringLiteral("SetRev")) {
    const std::string tc = vcr_->tcText();
    try {
      if (command == QStringLiteral("SetCue")) {
        vcr_->setCueText(tc);
        vcr_->MakeCueString();
      } else {
        vcr_->setEndText(tc);
      }
    } catch (const std::exception& e) {
      reportError("Button", &e);
    }
    return;
  }
  if (shuttleKey) {
    const int dir = command == QStringLiteral("ShuttleFwd") ? 1 : -1;
    shuttleKeyPresses_ = dir == shuttleKeyDir_ ? shuttleKeyPresses_ + 1 : 1;
    shuttleKeyDir_ = dir;
    const int speed = shuttleKeySpeed(shuttleKeyPresses_);
    LocalVCR* v = vcr_;
    postToWorker(dir > 0 ? std::function<void()>([v, speed] { v->shutfwd(speed); })
                         : std::function<void()>([v, speed] { v->shutrev(speed); }),
                 Post::Takeover);
    return;
  }
  auto action = actionFor(command);
  if (!action) {
    return;
  }
  // The sequences with waits: the E-E off button, and the jog buttons of tape decks that stop
  // 600 ms later.
  const bool sequence = command == QStringLiteral("EEOff") ||
                        (!lx1_ && !lanc_ && command == QStringLiteral("Jogf")) ||
                        (!lx1_ && !lanc_ && command == QStringLiteral("Jogr"));
  Post how = Post::Plain;
  if (isTransport(command)) {
    how = sequence ? Post::TakeoverRun : Post::Takeover;
  } else if (command == QStringLiteral("SCRIPT") || command == QStringLiteral("Review")) {
    how = Post::Run;
  }
  postToWorker(std::move(action), how);
}

bool LocalGUI::isTransport(const QString& command) {
  static const std::set<QString> transport = {
      QStringLiteral("Rewind"),    QStringLiteral("Pause"),   QStringLiteral("Stop"),
      QStringLiteral("Play"),      QStringLiteral("Forward"), QStringLiteral("Slow5"),
      QStringLiteral("Slow3"),     QStringLiteral("Slow2"),   QStringLiteral("Fast2"),
      QStringLiteral("Fast5"),     QStringLiteral("EEOn"),    QStringLiteral("EEOff"),
      QStringLiteral("Record"),    QStringLiteral("Sbyon"),   QStringLiteral("Sbyoff"),
      QStringLiteral("Jogr"),      QStringLiteral("Jogf"),    QStringLiteral("ShuttleFwd"),
      QStringLiteral("ShuttleRev")};
  return transport.count(command) != 0;
}

void LocalGUI::takeoverWorker(std::function<void()> action) {
  postToWorker(std::move(action), Post::Takeover);
}

void LocalGUI::postToWorker(std::function<void()> action, Post how) {
  lastPostWasShuttle_ = false;
  try {
    switch (how) {
      case Post::Plain:
        vcr_->post(std::move(action));
        break;
      case Post::Run:
        vcr_->postRun(std::move(action));
        break;
      case Post::Takeover:
      case Post::TakeoverRun:
        vcr_->takeover(std::move(action), how == Post::TakeoverRun);
        break;
    }
  } catch (const std::exception& e) {
    reportError("Button", &e);
  } catch (...) {
    reportError("Button", nullptr);
  }
}

int LocalGUI::shuttleSpeed(int value) {
  if (value >= 54) {
    return 2 * (value - shuttleCentre);
  }
  if (value <= 42) {
    return -2 * (shuttleCentre - value);
  }
  return 0;
}

void LocalGUI::onShuttle(int value) {
  vsbval_ = value;
  if (vcr_ == nullptr) {
    return;
  }
  // A move still waiting in the queue takes the newest value; once the worker has taken it
  // (slot -1) or anything else was posted since, the move gets its own place in the order.
  if (lastPostWasShuttle_ && shuttleSlot_ && shuttleSlot_->exchange(value) != -1) {
    return;
  }
  auto slot = std::make_shared<std::atomic<int>>(value);
  shuttleSlot_ = slot;
  LocalVCR* v = vcr_;
  shuttleKeyPresses_ = 0;
  takeoverWorker([v, slot] {
    const int taken = slot->exchange(-1);
    if (taken < 0) {
      return;
    }
    const int speed = shuttleSpeed(taken);
    if (speed > 0) {
      v->shutfwd(speed);
    } else if (speed < 0) {
      v->shutrev(-speed);
    } else {
      v->pause();
    }
  });
  lastPostWasShuttle_ = true;
}

void LocalGUI::onCueEnter() {
  if (vcr_ == nullptr) {
    return;
  }
  vcr_->editCueText(cuefield_->text().toStdString());
  LocalVCR* v = vcr_;
  postToWorker([v] { v->MakeCueString(); });
}

void LocalGUI::onLoggerButton() {
  if (vcr_ == nullptr) {
    return;
  }
  // CommandBLogger only asks this window (queued) to open the logger, so it runs here rather
  // than behind a running script in the worker's queue: the logger opens at once.
  try {
    vcr_->CommandBLogger();
  } catch (const std::exception& e) {
    reportError("Logger", &e);
  } catch (...) {
    reportError("Logger", nullptr);
  }
}

void LocalGUI::onTavlist() {
  try {
    auto* viewer = new EDLViewer();
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    std::erase_if(viewers_, [](const QPointer<EDLViewer>& p) { return p.isNull(); });
    viewers_.emplace_back(viewer);
    viewer->show();
  } catch (const std::exception& e) {
    reportError("Converter window", &e);
  }
}

// ---------------------------------------------------------------------------------------------
// Editor keys

const std::vector<LocalGUI::KeyBinding>& LocalGUI::keyBindings() {
  static const std::vector<KeyBinding> keys = {
      {Qt::Key_Space, "Space", "Play", "Play", "Pause"},
      {Qt::Key_K, "K", "Pause", "Pause", nullptr},
      // The LX1 has no shuttle: J and L are its jog buttons.
      {Qt::Key_J, "J", "ShuttleRev", "Jogr", nullptr},
      {Qt::Key_L, "L", "ShuttleFwd", "Jogf", nullptr},
      {Qt::Key_Left, "Left", "Jogr", "Jogr", nullptr},
      {Qt::Key_Right, "Right", "Jogf", "Jogf", nullptr},
      {Qt::Key_I, "I", "SetCue", "SetCue", nullptr},
      {Qt::Key_O, "O", "SetRev", "SetRev", nullptr},
      {Qt::Key_Escape, "Escape", "Stop", "Stop", nullptr},
  };
  return keys;
}

QString LocalGUI::keyCommand(int key, bool lx1, bool playing) {
  for (const KeyBinding& k : keyBindings()) {
    if (k.key == key) {
      const char* command = playing && k.playingCommand != nullptr
                                ? k.playingCommand
                                : (lx1 ? k.lx1Command : k.command);
      return QString::fromLatin1(command);
    }
  }
  return {};
}

int LocalGUI::shuttleKeySpeed(int presses) {
  // 10^(N/32 - 2) = 1, 2, 4, 8 for N = 64, 74, 83, 93.
  static constexpr int kSpeeds[] = {64, 74, 83, 93};
  return kSpeeds[std::clamp(presses, 1, 4) - 1];
}

bool LocalGUI::handleKey(int key, bool inTextField) {
  if (inTextField && key != Qt::Key_Escape) {
    return false;
  }
  const bool playing =
      vcr_ != nullptr && vcr_->getStatusString().find("Play ") != std::string::npos;
  const QString command = keyCommand(key, lx1_, playing);
  if (command.isEmpty()) {
    return false;
  }
  dispatch(command);
  return true;
}

void LocalGUI::bindKeys() {
  // Every component passes its key presses through the window first, so Space on a focused
  // button plays instead of clicking the button.
  installEventFilter(this);
  for (QWidget* w : findChildren<QWidget*>()) {
    w->installEventFilter(this);
  }
  // Tooltips name the keys of each button, from the same table.
  std::map<QString, QStringList> keysOf;
  for (const KeyBinding& k : keyBindings()) {
    keysOf[QString::fromLatin1(lx1_ ? k.lx1Command : k.command)] << QString::fromLatin1(k.name);
    if (k.playingCommand != nullptr) {
      keysOf[QString::fromLatin1(k.playingCommand)]
          << QString::fromLatin1(k.name) + QStringLiteral(" while playing");
    }
  }
  for (QPushButton* b : findChildren<QPushButton*>()) {
    const auto it = keysOf.find(b->property(kActionCommand).toString());
    if (it != keysOf.end()) {
      b->setToolTip((it->second.size() > 1 ? QStringLiteral("Keys: ") : QStringLiteral("Key: ")) +
                    it->second.join(QStringLiteral(", ")));
    }
  }
  if (vsb_ != nullptr) {
    vsb_->setToolTip(QStringLiteral("Keys: J / L (1x, 2x, 4x, 8x on repeated presses)"));
  }
}

bool LocalGUI::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) {
    return QWidget::eventFilter(watched, event);
  }
  auto* key = static_cast<QKeyEvent*>(event);
  // A key a field let through reaches the window too: the focused field still counts.
  auto* edit = qobject_cast<QLineEdit*>(watched == this ? focusWidget() : watched);
  const bool inTextField = edit != nullptr && !edit->isReadOnly();
  if (inTextField && key->key() != Qt::Key_Escape) {
    return false;
  }
  if (keyCommand(key->key(), lx1_, false).isEmpty() ||
      (key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) != 0) {
    return false;
  }
  // A held key repeats; one press is one action.
  if (!key->isAutoRepeat()) {
    handleKey(key->key(), inTextField);
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// DeckView

void LocalGUI::runOnGui(std::function<void()> fn) {
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void LocalGUI::ShowTC(const std::string& tc) {
  {
    // A stopped deck reports the same timecode on every poll: nothing to post or to draw.
    const std::lock_guard lock(shownTcMutex_);
    if (tc == shownTc_) {
      return;
    }
    shownTc_ = tc;
  }
  runOnGui([this, t = QString::fromStdString(tc)] { setTextIfChanged(tcfield_, t); });
}

void LocalGUI::ShowStatus(const std::string& text) {
  runOnGui([this, t = QString::fromStdString(text)] {
    setTextIfChanged(statusfield_, t);
    settleHighlights();  // the status poll's highlights have all arrived before its text
  });
}

void LocalGUI::setTextIfChanged(QLineEdit* field, const QString& text) {
  // setText repaints the field even when the text stays the same.
  if (field->text() != text) {
    field->setText(text);
  }
}

void LocalGUI::clearbuttons() {
  runOnGui([this] {
    // Each status poll clears the bars and lights them again. The new set is gathered first and
    // compared with the bars shown when it is complete (the status text follows it, or the timer
    // runs out), so only a bar that changed is drawn.
    nextHighlights_.clear();
    if (!gathering_) {
      gathering_ = true;
      settleTimer_->start();
    }
  });
}

void LocalGUI::hilight(DeckButton button) {
  runOnGui([this, button] {
    if (component(button) == nullptr) {
      return;
    }
    if (gathering_) {
      nextHighlights_.insert(button);
    } else if (highlighted_.insert(button).second) {
      update(barRect(*component(button)));
    }
  });
}

void LocalGUI::settleHighlights() {
  if (!gathering_) {
    return;
  }
  gathering_ = false;
  settleTimer_->stop();
  for (DeckButton b : {DeckButton::Play, DeckButton::Record, DeckButton::Forward,
                       DeckButton::Rewind, DeckButton::Stop, DeckButton::StandbyOn,
                       DeckButton::JogForward, DeckButton::JogReverse, DeckButton::Shuttle}) {
    const QWidget* w = component(b);
    if (w != nullptr && highlighted_.count(b) != nextHighlights_.count(b)) {
      update(barRect(*w));
    }
  }
  highlighted_ = std::move(nextHighlights_);
  nextHighlights_.clear();
}

void LocalGUI::setCueLocked(bool locked) {
  runOnGui([this, locked] {
    for (QPushButton* b : {bcue_, bcueout_, bcueplay_, breview_}) {
      b->setEnabled(!locked);
      setButtonColour(b, locked ? darkGray() : lightGray());
    }
    cuefield_->setReadOnly(locked);
    endfield_->setReadOnly(locked);
  });
}

void LocalGUI::ShowCueField(const std::string& text) {
  runOnGui([this, t = QString::fromStdString(text)] { cuefield_->setText(t); });
}

void LocalGUI::ShowEndField(const std::string& text) {
  runOnGui([this, t = QString::fromStdString(text)] { endfield_->setText(t); });
}

void LocalGUI::copyToClipboard(const std::string& text) {
  runOnGui([t = QString::fromStdString(text)] {
    if (QClipboard* cb = QGuiApplication::clipboard(); cb != nullptr) {
      cb->setText(t);
    }
  });
}

void LocalGUI::openLogger() {
  runOnGui([this] {
    if (closing_ || vcr_ == nullptr) {
      return;
    }
    if (logger_) {
      logger_->raise();
      logger_->activateWindow();
      return;
    }
    try {
      auto* logger = new LoggerGUI(*vcr_);
      logger->setAttribute(Qt::WA_DeleteOnClose);
      logger_ = logger;
      blogger_->setEnabled(false);
      setButtonColour(blogger_, darkGray());
      connect(logger, &QObject::destroyed, this, [this] {
        blogger_->setEnabled(true);
        setButtonColour(blogger_, lightGray());
      });
      logger->show();
    } catch (const std::exception& e) {
      reportError("Logger", &e);
    }
  });
}

QWidget* LocalGUI::component(DeckButton button) const {
  switch (button) {
    case DeckButton::Play:
      return bplay_;
    case DeckButton::Record:
      return brecord_;
    case DeckButton::Forward:
      return bfwd_;
    case DeckButton::Rewind:
      return brew_;
    case DeckButton::Stop:
      return bstop_;
    case DeckButton::StandbyOn:
      return bsbyon_;
    case DeckButton::JogForward:
      return bjogf_;
    case DeckButton::JogReverse:
      return bjogr_;
    case DeckButton::Shuttle:
      return vsb_;
  }
  return nullptr;
}

QRect LocalGUI::barRect(const QWidget& w) {
  return {w.x(), w.y() - 2, w.width(), 2};
}

// ---------------------------------------------------------------------------------------------
// Painting and closing

void LocalGUI::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QPainter p(this);
  for (DeckButton b : highlighted_) {
    if (const QWidget* w = component(b); w != nullptr) {
      p.fillRect(barRect(*w), Qt::red);
    }
  }
}

void LocalGUI::closeEvent(QCloseEvent* event) {
  event->accept();
  if (closing_) {
    return;
  }
  closing_ = true;
  hide();
  // The controller stops polling and the worker, then sends its closing Stop frames.
  if (vcr_ != nullptr) {
    try {
      vcr_->close();
    } catch (const std::exception& e) {
      reportError("Close", &e);
    } catch (...) {
      reportError("Close", nullptr);
    }
  }
  closeOtherWindows();
  emit closed();
}

void LocalGUI::closeOtherWindows() {
  if (logger_) {
    logger_->close();
    delete logger_.data();
  }
  for (QPointer<EDLViewer>& v : viewers_) {
    if (v) {
      v->close();
      delete v.data();
    }
  }
  viewers_.clear();
}
