#include "ui/qt/EDLViewer.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>
#include <exception>
#include <iostream>

#include "app/ControllerApp.h"
#include "app/TextCodec.h"
#include "ui/qt/FlowLayout.h"

namespace {

const QColor kBackground(90, 90, 240);
const QColor kSource(230, 230, 190);
const QColor kOutput(200, 220, 220);
constexpr int kButtonRow = 100;  // the button rows sit below everything else in the grid

QFont areaFont() {
  QFont f("MonoSpaced", 12);
  f.setStyleHint(QFont::TypeWriter);
  return f;
}

QFont buttonFont() {
  QFont f("SansSerif", 14, QFont::Bold);
  f.setStyleHint(QFont::SansSerif);
  return f;
}

QPlainTextEdit* makeArea(QWidget* parent, const char* name, const QColor& colour, int rows,
                         int columns, bool editable) {
  auto* area = new QPlainTextEdit(parent);
  area->setObjectName(name);
  area->setFont(areaFont());
  area->setReadOnly(!editable);
  area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  area->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  QPalette p = area->palette();
  p.setColor(QPalette::Base, colour);
  area->setPalette(p);
  // Rows and columns are what the area would like; the window's fixed size has the last word.
  const QFontMetrics fm(area->font());
  area->setBaseSize(fm.horizontalAdvance('M') * columns, fm.lineSpacing() * rows);
  area->setMinimumSize(0, 0);
  return area;
}

}  // namespace

EDLViewer::FileChooser EDLViewer::chooser = &EDLViewer::chooseWithDialog;
EDLViewer::Pauser EDLViewer::pauser;

QString EDLViewer::chooseWithDialog(QWidget* parent, const QString& title, const QString& directory,
                                    bool save) {
  return save ? QFileDialog::getSaveFileName(parent, title, directory)
              : QFileDialog::getOpenFileName(parent, title, directory);
}

EDLViewer::EDLViewer(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QString::fromStdString(ControllerApp::title + " --- Tavlist2"));
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, kBackground);
  setPalette(p);
  buildLayout();
  ConverterWindowView& view = *this;
  presenter_ = std::make_unique<ConverterPresenter>(view, ConverterOptions::fromSettings());
  resize(800, 350);
  show();
  presenter_->start();
  afterAction();
}

EDLViewer::~EDLViewer() = default;

void EDLViewer::buildLayout() {
  auto* grid = new QGridLayout(this);
  // The source area is the wider one; 800 by 350 grows where the buttons need more room, so
  // that no label is cut.
  grid->setColumnStretch(0, 80);
  grid->setColumnStretch(1, 38);
  textarea_ = makeArea(this, "textarea", kSource, 15, 80, false);
  outarea_ = makeArea(this, "outarea", kOutput, 15, 38, true);
  grid->addWidget(textarea_, 0, 0);
  grid->addWidget(outarea_, 0, 1);

  checkPanel_ = new QWidget(this);
  auto* checks = new QGridLayout(checkPanel_);
  auto makeCheck = [this, checks](const char* name, const char* label, int row) {
    auto* box = new QCheckBox(QString::fromLatin1(label), checkPanel_);
    box->setObjectName(name);
    checks->addWidget(box, row, 0);
    return box;
  };
  useini_ = makeCheck("useini", "Use INI", 0);
  usefnl_ = makeCheck("usefnl", "Use FNL", 1);
  recmode_ = makeCheck("recmode", "All PS", 2);
  namech_ = makeCheck("namech", "NameCH", 3);
  autoch_ = makeCheck("autoch", "AutoCH", 4);
  opti_ = makeCheck("opti", "Optimize", 5);
  grid->addWidget(checkPanel_, 0, 2);

  // Each row is a right-aligned flow that wraps when its column is too narrow, so the window
  // grows from its design size only as far as the widest button needs.
  auto makeRow = [this](std::initializer_list<std::pair<const char*, const char*>> buttons) {
    auto* row = new QWidget(this);
    auto* flow = new FlowLayout(row, 4, 4);
    for (const auto& [label, command] : buttons) {
      auto* b = new QPushButton(QString::fromLatin1(label), row);
      b->setObjectName(command);
      b->setFont(buttonFont());
      flow->addWidget(b);
      const QString cmd = QString::fromLatin1(command);
      connect(b, &QPushButton::clicked, this, [this, cmd] { actionPerformed(cmd); });
    }
    return row;
  };
  buttonRow1_ = makeRow({{"Load Source EDL", "load"},
                         {"Auto Process EDL", "auto"},
                         {"Process Line", "next"},
                         {"Step Back", "back"},
                         {"Save LX-1 EDL", "save"}});
  buttonRow2_ = makeRow(
      {{"ST", "stop"}, {"PS", "pause"}, {"CH", "chap"}, {"New Tape", "wait"}, {"Delete", "del"}});
  grid->addWidget(buttonRow1_, kButtonRow, 0);
  grid->addWidget(buttonRow2_, kButtonRow, 1);

  using Option = ConverterPresenter::Option;
  const std::pair<QCheckBox*, Option> boxes[] = {
      {useini_, Option::UseIni}, {usefnl_, Option::UseFnl}, {recmode_, Option::AllPs},
      {autoch_, Option::AutoCh}, {namech_, Option::NameCh}, {opti_, Option::Optimize}};
  for (const auto& [box, option] : boxes) {
    connect(box, &QCheckBox::toggled, this, [this, option = option](bool on) {
      presenter_->option(option, on);
      afterAction();
    });
  }
}

void EDLViewer::showOptions(const ConverterOptions& opts) {
  // Showing the options is not an operator's change: no handler runs.
  const QSignalBlocker b1(useini_), b2(usefnl_), b3(recmode_), b4(namech_), b5(autoch_), b6(opti_);
  useini_->setChecked(opts.initialize);
  usefnl_->setChecked(opts.finalize);
  recmode_->setChecked(opts.onetitle);
  namech_->setChecked(opts.namechapters);
  autoch_->setChecked(opts.autochapter);
  opti_->setChecked(opts.optimize);
}

void EDLViewer::actionPerformed(const QString& command) {
  presenter_->command(command.toStdString());
  afterAction();
}

void EDLViewer::afterAction() {
  if (closeRequested_ && !waiting_) {
    closeRequested_ = false;
    QTimer::singleShot(0, this, &QWidget::close);
  }
}

std::string EDLViewer::chooseFile(const std::string& title, const std::string& directory,
                                  bool save) {
  const QString path = chooser ? chooser(this, QString::fromStdString(title),
                                         QString::fromStdString(directory), save)
                               : QString();
  return path.toStdString();
}

void EDLViewer::showSource(const std::string& text) {
  const std::string shown = ConverterPresenter::shownSource(text);
  textarea_->setPlainText(QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size())));
}

void EDLViewer::showList(const std::string& lxfile) {
  outarea_->setPlainText(QString::fromUtf8(lxfile.data(), static_cast<qsizetype>(lxfile.size())));
  // Keep the end of the list in view.
  outarea_->moveCursor(QTextCursor::End);
  outarea_->ensureCursorVisible();
}

void EDLViewer::showTitle(const std::string& title) {
  setWindowTitle(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
}

void EDLViewer::print(const std::string& line) {
  std::cout << line << std::endl;
}

void EDLViewer::pause(int ms) {
  if (pauser) {
    pauser(this, ms);
  } else {
    wait(ms);
  }
}

void EDLViewer::wait(int ms) {
  if (ms <= 0 || waiting_) {
    return;
  }
  // The window keeps painting its message while its controls are locked; other windows go on.
  waiting_ = true;
  checkPanel_->setEnabled(false);
  buttonRow1_->setEnabled(false);
  buttonRow2_->setEnabled(false);
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  checkPanel_->setEnabled(true);
  buttonRow1_->setEnabled(true);
  buttonRow2_->setEnabled(true);
  waiting_ = false;
}

void EDLViewer::closeEvent(QCloseEvent* event) {
  if (waiting_) {
    // The converter is in the middle of a command; the window closes when it ends.
    closeRequested_ = true;
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}
