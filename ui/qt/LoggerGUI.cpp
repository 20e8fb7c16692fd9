#include "ui/qt/LoggerGUI.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFont>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <utility>

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"
#include "ui/core/TextFit.h"

LoggerGUI::Chooser LoggerGUI::chooser = &LoggerGUI::defaultChooser;

QString LoggerGUI::defaultChooser(QWidget* parent, const QString& title, int loadOrSave) {
  const QString proposal = QStringLiteral("/edl.txt");
  return loadOrSave == 0 ? QFileDialog::getOpenFileName(parent, title, proposal)
                         : QFileDialog::getSaveFileName(parent, title, proposal);
}

LoggerGUI::LoggerGUI(LocalVCR& vcr, QWidget* parent)
    : QWidget(parent),
      dy(GUIheight / NumRows - 5),
      vspace(dy + 2),
      fontheight(dy - 6),
      clipnamewidth(GUIwidth / 5),
      timecodewidth(GUIwidth / 5),
      loadsavewidth(GUIwidth / 5),
      buttonwidth(dy - 2),
      editnumwidth(GUIwidth / 14 + 4),
      presenter_(*this, vcr) {
  setWindowTitle(QString::fromStdString(ControllerApp::name + " Logger"));
  resize(GUIwidth, GUIheight);
  move(350, 0);
  QFont font(QStringLiteral("Helvetica"));
  font.setStyle(QFont::StyleNormal);
  font.setWeight(QFont::Normal);
  font.setPixelSize(fontheight);
  setFont(font);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, backgroundcol());
  setPalette(pal);
  setAutoFillBackground(true);

  // Child positions are relative to the client area, whose inner edge is the window inset.
  const int L = 0;
  const int T = 0;
  buildTopLine(L, T);
  buildRows(L, T);
  fitTexts();
  ReState(0);
}

LoggerGUI::~LoggerGUI() = default;

void LoggerGUI::setLineSink(std::function<void(const std::string&)> sink) {
  presenter_.setLineSink(std::move(sink));
}

void LoggerGUI::buildTopLine(int L, int T) {
  const int c0 = L + 5;
  const int c1 = c0 + editnumwidth + 6;
  const int c2 = c1 + clipnamewidth + 15;
  const int c3 = c2 + buttonwidth + 2;
  const int c4 = c3 + timecodewidth + 15;
  const int y = T + 5;
  auto make = [this, y](const char* name, const char* label, int x, int w) {
    auto* b = new QPushButton(QString::fromLatin1(label), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, w, dy);
    return b;
  };
  auto* load = make("LoadButton", "Load EDL", c0, loadsavewidth);
  auto* review = make("ReviewButton", "Review", c2 - 40, loadsavewidth - 30);
  auto* revall = make("RevAllButton", "RevALL", c3 + 10, loadsavewidth - 30);
  auto* save = make("SaveButton", "Save EDL", c4, loadsavewidth);
  connect(load, &QPushButton::clicked, this, [this] { presenter_.load(); });
  connect(save, &QPushButton::clicked, this, [this] { presenter_.save(); });
  connect(review, &QPushButton::clicked, this, [this] { presenter_.ReviewClip(); });
  connect(revall, &QPushButton::clicked, this, [this] { presenter_.RevAll(); });
}

void LoggerGUI::buildRows(int L, int T) {
  const int c0 = L + 5;
  const int c1 = c0 + editnumwidth + 6;
  const int c2 = c1 + clipnamewidth + 15;
  const int c3 = c2 + buttonwidth + 2;
  const int c4 = c3 + timecodewidth + 15;
  const int c5 = c4 + buttonwidth + 2;
  const int c6 = c5 + timecodewidth + 15;

  for (int r = 0; r < NumRows; ++r) {
    const int y = T + 5 + (r + 1) * vspace;
    const QString rs = QString::number(r);
    auto field = [this, r, y, &rs](int c, int x, int w) {
      auto* f = new QLineEdit(this);
      f->setObjectName(QStringLiteral("TF%1_%2").arg(rs).arg(c));
      f->setGeometry(x, y, w, dy);
      f->setReadOnly(true);
      // Only a click puts the keyboard into a field, so opening the window selects no text.
      f->setFocusPolicy(Qt::NoFocus);
      TFArray_[r][c] = f;
    };
    auto button = [this, y, &rs](const char* name, const char* label, int x, int w) {
      auto* b = new QPushButton(QString::fromLatin1(label), this);
      b->setObjectName(QString::fromLatin1(name) + rs);
      b->setGeometry(x, y, w, dy);
      b->setProperty(kActionCommand, rs);
      return b;
    };
    field(0, c0, editnumwidth);
    field(1, c1, clipnamewidth);
    ButArray_[r][0] = button("SIB", ">", c2, buttonwidth);
    field(2, c3, timecodewidth);
    ButArray_[r][1] = button("SOB", "<", c4, buttonwidth);
    field(3, c5, timecodewidth);
    CueArray_[r] = button("CUE", "*", c5 + timecodewidth + 5, 12);

    connect(ButArray_[r][0], &QPushButton::clicked, this,
            [this, r] { presenter_.timePressed(r, 2); });
    connect(ButArray_[r][1], &QPushButton::clicked, this,
            [this, r] { presenter_.timePressed(r, 3); });
    connect(CueArray_[r], &QPushButton::clicked, this, [this, r] { presenter_.cuePressed(r); });
  }

  // Only row 0 is edited in place: Enter, or leaving the field, stores its text in the entry
  // it shows.
  for (int c = 1; c <= 3; ++c) {
    QLineEdit* f = TFArray_[0][c];
    f->setReadOnly(false);
    f->setFocusPolicy(Qt::ClickFocus);
    connect(f, &QLineEdit::editingFinished, this,
            [this, c, f] { presenter_.fieldCommitted(c, f->text().toStdString()); });
  }

  vsb_ = new QScrollBar(Qt::Vertical, this);
  vsb_->setObjectName(QStringLiteral("vsb"));
  // Values 0 .. 80 with 20 rows visible: row 0 can show any entry up to the 81st.
  vsb_->setRange(0, EditList::kEntries - NumRows);
  vsb_->setPageStep(NumRows);
  vsb_->setSingleStep(1);
  vsb_->setValue(0);
  vsb_->setGeometry(c6 + 12, T + 20, 20, GUIheight - 55);
  connect(vsb_, &QScrollBar::valueChanged, this, [this](int v) { presenter_.scrolled(v); });
}

void LoggerGUI::fitTexts() {
  // A timecode shows whole in its field at the screen's dpi: the fields' font shrinks until
  // "00:00:00:00" fits inside the frame.
  QFont f = TFArray_[0][2]->font();
  const int room = timecodewidth - 8;
  const int size = TextFit::size(f.pixelSize(), 6, room, [&](int s) {
    QFont t = f;
    t.setPixelSize(s);
    return QFontMetrics(t).horizontalAdvance(QStringLiteral("00:00:00:00"));
  });
  if (size != f.pixelSize()) {
    f.setPixelSize(size);
    for (auto& row : TFArray_) {
      row[2]->setFont(f);
      row[3]->setFont(f);
    }
  }
}

void LoggerGUI::showCell(int row, int column, const std::string& text) {
  QLineEdit* f = TFArray_[row][column];
  f->setText(QString::fromStdString(text));
  f->setCursorPosition(0);  // long texts show their start, as a fresh field would
}

std::string LoggerGUI::cellText(int column) const {
  return TFArray_[0][column]->text().toStdString();
}

void LoggerGUI::showScroll(int first) {
  const QSignalBlocker block(vsb_);
  vsb_->setValue(first);
}

std::string LoggerGUI::chooseFile(const std::string& title, bool save) {
  const QString path =
      chooser ? chooser(this, QString::fromStdString(title), save ? 1 : 0) : QString();
  return path.toStdString();
}

void LoggerGUI::closeEvent(QCloseEvent* event) {
  presenter_.closing();
  QWidget::closeEvent(event);
}
