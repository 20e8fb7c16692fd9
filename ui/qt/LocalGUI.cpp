#include "ui/qt/LocalGUI.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <exception>
#include <iostream>

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"
#include "ui/core/KeyMap.h"
#include "ui/core/TextFit.h"
#include "ui/qt/EDLViewer.h"
#include "ui/qt/LoggerGUI.h"

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

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

void setTextIfChanged(QLineEdit* field, const QString& text) {
  // setText repaints the field even when the text stays the same.
  if (field->text() != text) {
    field->setText(text);
  }
}

// The room a text has inside its component: a button's bevel and margins, a field's frame.
int roomFor(const QWidget& w) {
  return w.width() - (qobject_cast<const QLineEdit*>(&w) != nullptr ? 8 : 10);
}

}  // namespace

LocalGUI::LocalGUI(QWidget* parent)
    : QWidget(parent),
      presenter_(*this, ControllerApp::lx1, ControllerApp::zarix, ControllerApp::lanc),
      layout_(
          ControlLayout::forDeck(ControllerApp::lx1, ControllerApp::zarix, ControllerApp::note)),
      width_(ControllerApp::width) {
  setWindowTitle(qs(ControllerApp::title));
  setFont(helvetica(ControllerApp::fontheight));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, backgroundcol());
  pal.setColor(QPalette::WindowText, Qt::black);
  setPalette(pal);
  setAutoFillBackground(true);
  // The window itself takes the keyboard when no field was clicked into, so the editor keys
  // drive the deck.
  setFocusPolicy(Qt::StrongFocus);
  build();
  bindKeys();
  fitTexts();
  resize(width_, layout_.height());
}

LocalGUI::~LocalGUI() {
  if (logger_) {
    disconnect(logger_, nullptr, this, nullptr);
  }
  closeOtherWindows();
}

void LocalGUI::attach(LocalVCR& vcr) {
  presenter_.attach(vcr);
}

// ---------------------------------------------------------------------------------------------
// Building from the layout table

void LocalGUI::build() {
  using Kind = ControlLayout::Kind;
  for (const ControlLayout::Item& item : layout_.items()) {
    QWidget* w = nullptr;
    switch (item.kind) {
      case Kind::Caption:
      case Kind::StatusLabel:
        w = new QLabel(qs(item.label), this);
        break;
      case Kind::Display:
      case Kind::TimeField:
      case Kind::StatusField: {
        auto* field = new QLineEdit(qs(item.label), this);
        if (item.kind != Kind::StatusField) {
          field->setFont(helvetica(TCfontheight));
        }
        // Read-only fields never take the keyboard; the in and out fields only by a click, so
        // a focus handed on by a disabled button never lands in them.
        field->setReadOnly(item.kind != Kind::TimeField);
        field->setFocusPolicy(item.kind == Kind::TimeField ? Qt::ClickFocus : Qt::NoFocus);
        w = field;
        break;
      }
      case Kind::Button: {
        auto* b = new QPushButton(qs(item.label), this);
        b->setProperty(kActionCommand, qs(item.command));
        b->setAutoDefault(false);
        setButtonColour(b, lightGray());
        if (item.strong) {
          // REC and SCRIPT stand out: red, bold.
          b->setFont(helvetica(ControllerApp::fontheight, true));
          QPalette p = b->palette();
          p.setColor(QPalette::ButtonText, Qt::red);
          b->setPalette(p);
        }
        const std::string command = item.command;
        if (item.field == "blogger") {
          connect(b, &QPushButton::clicked, this, [this] { presenter_.loggerPressed(); });
        } else {
          connect(b, &QPushButton::clicked, this, [this, command] { presenter_.pressed(command); });
        }
        w = b;
        break;
      }
      case Kind::Shuttle: {
        vsb_ = new QScrollBar(Qt::Horizontal, this);
        // A bar of 0..115 with a visible amount of 20: the operator reaches the values 0..95.
        vsb_->setRange(0, 95);
        vsb_->setPageStep(20);
        vsb_->setValue(shuttleCentre);
        vsb_->setFocusPolicy(Qt::NoFocus);
        connect(vsb_, &QScrollBar::valueChanged, this,
                [this](int value) { presenter_.shuttleMoved(value); });
        w = vsb_;
        break;
      }
    }
    w->setObjectName(qs(item.field));
    w->setGeometry(item.x, item.y, item.w, item.h);
    widgets_[item.field] = w;
  }
  tcfield_ = qobject_cast<QLineEdit*>(widget("tcfield"));
  cuefield_ = qobject_cast<QLineEdit*>(widget("cuefield"));
  endfield_ = qobject_cast<QLineEdit*>(widget("endfield"));
  statusfield_ = qobject_cast<QLineEdit*>(widget("statusfield"));
  blogger_ = qobject_cast<QPushButton*>(widget("blogger"));
  {
    QPalette p = tcfield_->palette();
    p.setColor(QPalette::Base, Qt::black);
    p.setColor(QPalette::Text, tccolor());
    tcfield_->setPalette(p);
  }
  connect(cuefield_, &QLineEdit::returnPressed, this,
          [this] { presenter_.cueEntered(cuefield_->text().toStdString()); });
  // Operator edits keep the controller's store in step with what the fields show.
  connect(cuefield_, &QLineEdit::textEdited, this,
          [this](const QString& t) { presenter_.cueEdited(t.toStdString()); });
  connect(endfield_, &QLineEdit::textEdited, this,
          [this](const QString& t) { presenter_.endEdited(t.toStdString()); });
}

QWidget* LocalGUI::widget(const char* field) const {
  const auto it = widgets_.find(field);
  return it == widgets_.end() ? nullptr : it->second;
}

void LocalGUI::fitTexts() {
  // Every button text and caption shows whole at the screen's dpi: a text wider than its
  // component gets a smaller font, never a cut.
  for (auto& [field, w] : widgets_) {
    QString text;
    if (auto* b = qobject_cast<QPushButton*>(w)) {
      text = b->text();
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
      text = l->text();
    } else if (auto* e = qobject_cast<QLineEdit*>(w); e != nullptr && !e->isReadOnly()) {
      text = QStringLiteral("00:00:00:00");
    } else if (field == "tcfield") {
      text = QStringLiteral("00:00:00:00");
    }
    if (text.isEmpty()) {
      continue;
    }
    QFont f = w->font();
    const int size = TextFit::size(f.pixelSize(), 6, roomFor(*w), [&](int s) {
      QFont t = f;
      t.setPixelSize(s);
      return QFontMetrics(t).horizontalAdvance(text);
    });
    if (size != f.pixelSize()) {
      f.setPixelSize(size);
      w->setFont(f);
    }
  }
}

void LocalGUI::setButtonColour(QPushButton* b, const QColor& c) {
  QPalette p = b->palette();
  p.setColor(QPalette::Button, c);
  b->setPalette(p);
}

// ---------------------------------------------------------------------------------------------
// Editor keys

std::optional<EditorKey> LocalGUI::editorKey(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Space:
      return EditorKey::Space;
    case Qt::Key_K:
      return EditorKey::K;
    case Qt::Key_J:
      return EditorKey::J;
    case Qt::Key_L:
      return EditorKey::L;
    case Qt::Key_Left:
      return EditorKey::Left;
    case Qt::Key_Right:
      return EditorKey::Right;
    case Qt::Key_I:
      return EditorKey::I;
    case Qt::Key_O:
      return EditorKey::O;
    case Qt::Key_Escape:
      return EditorKey::Escape;
    default:
      return std::nullopt;
  }
}

QString LocalGUI::keyCommand(int key, bool lx1, bool playing) {
  const auto k = editorKey(key);
  return k ? qs(KeyMap::command(*k, lx1, playing)) : QString();
}

void LocalGUI::bindKeys() {
  // Every component passes its key presses through the window first, so Space on a focused
  // button plays instead of clicking the button.
  installEventFilter(this);
  for (QWidget* w : findChildren<QWidget*>()) {
    w->installEventFilter(this);
  }
  // Tooltips name the keys of each button, from the same table.
  const auto tips = KeyMap::tooltips(ControllerApp::lx1);
  for (QPushButton* b : findChildren<QPushButton*>()) {
    const auto it = tips.find(b->property(kActionCommand).toString().toStdString());
    if (it != tips.end()) {
      b->setToolTip(qs(it->second));
    }
  }
  if (vsb_ != nullptr) {
    vsb_->setToolTip(qs(KeyMap::shuttleTooltip()));
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
  const auto k = editorKey(key->key());
  if (!k || (key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) != 0) {
    return false;
  }
  return presenter_.key(*k, inTextField, key->isAutoRepeat());
}

// ---------------------------------------------------------------------------------------------
// ControlView

void LocalGUI::post(std::function<void()> fn) {
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void LocalGUI::after(int ms, std::function<void()> fn) {
  QTimer::singleShot(ms, this, std::move(fn));
}

void LocalGUI::showField(Field field, const std::string& text) {
  switch (field) {
    case Field::Timecode:
      setTextIfChanged(tcfield_, qs(text));
      break;
    case Field::Cue:
      cuefield_->setText(qs(text));
      break;
    case Field::End:
      endfield_->setText(qs(text));
      break;
    case Field::Status:
      setTextIfChanged(statusfield_, qs(text));
      break;
  }
}

void LocalGUI::showCueLock(bool locked) {
  for (const char* field : {"bcue", "bcueout", "bcueplay", "breview"}) {
    auto* b = qobject_cast<QPushButton*>(widget(field));
    if (b == nullptr) {
      continue;
    }
    if (locked && b->hasFocus()) {
      setFocus(Qt::OtherFocusReason);  // the keys keep driving the deck
    }
    b->setEnabled(!locked);
    setButtonColour(b, locked ? darkGray() : lightGray());
  }
  cuefield_->setReadOnly(locked);
  endfield_->setReadOnly(locked);
}

void LocalGUI::repaintBar(DeckButton button) {
  if (const QWidget* w = component(button); w != nullptr) {
    update(barRect(*w));
  }
}

void LocalGUI::showStale(bool stale) {
  QPalette p = tcfield_->palette();
  p.setColor(QPalette::Text, stale ? staleColor() : tccolor());
  tcfield_->setPalette(p);
}

void LocalGUI::showShuttle(int value) {
  if (vsb_ != nullptr) {
    const QSignalBlocker block(vsb_);
    vsb_->setValue(value);
  }
}

void LocalGUI::showLoggerButton(bool enabled) {
  blogger_->setEnabled(enabled);
  setButtonColour(blogger_, enabled ? lightGray() : darkGray());
}

bool LocalGUI::raiseLogger() {
  if (closing_ || !logger_) {
    return closing_;
  }
  logger_->raise();
  logger_->activateWindow();
  return true;
}

void LocalGUI::openLogger(LocalVCR& vcr) {
  auto* logger = new LoggerGUI(vcr);
  logger->setAttribute(Qt::WA_DeleteOnClose);
  logger_ = logger;
  connect(logger, &QObject::destroyed, this, [this] { presenter_.loggerClosed(); });
  logger->show();
}

void LocalGUI::openConverter() {
  auto* viewer = new EDLViewer();
  viewer->setAttribute(Qt::WA_DeleteOnClose);
  std::erase_if(viewers_, [](const QPointer<EDLViewer>& p) { return p.isNull(); });
  viewers_.emplace_back(viewer);
  viewer->show();
}

void LocalGUI::copyText(const std::string& text) {
  if (QClipboard* cb = QGuiApplication::clipboard(); cb != nullptr) {
    cb->setText(qs(text));
  }
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

QWidget* LocalGUI::component(DeckButton button) const {
  if (!presenter_.hasComponent(button)) {
    return nullptr;
  }
  switch (button) {
    case DeckButton::Play:
      return widget("bplay");
    case DeckButton::Record:
      return widget("brecord");
    case DeckButton::Forward:
      return widget("bfwd");
    case DeckButton::Rewind:
      return widget("brew");
    case DeckButton::Stop:
      return widget("bstop");
    case DeckButton::StandbyOn:
      return widget("bsbyon");
    case DeckButton::JogForward:
      return widget("bjogf");
    case DeckButton::JogReverse:
      return widget("bjogr");
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
  for (DeckButton b : presenter_.highlighted()) {
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
  presenter_.close();
  emit closed();
}
