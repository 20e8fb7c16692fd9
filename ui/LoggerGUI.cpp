#include "ui/LoggerGUI.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <exception>
#include <iostream>
#include <mutex>
#include <utility>
#include <vector>

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"

namespace {

// The list keeps UTF-8 text (the loader decodes Latin-1 files into it and a save writes them
// back in their own encoding), so what the operator types or loads is shown as it is.
std::string toBytes(const QString& text) {
  return text.toStdString();
}

QString fromBytes(const std::string& text) {
  return QString::fromStdString(text);
}

void printLine(const std::string& line) {
  static std::mutex m;
  std::lock_guard lock(m);
  std::cout << line << std::endl;
}

}  // namespace

int LoggerGUI::vsbval = 0;
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
      vcr_(vcr),
      sink_(&printLine) {
  // A new window shows entries from the first one, and its row 0 acts on that entry.
  vsbval = 0;
  list_.setLineSink(sink_);

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
  ReState(0);
}

LoggerGUI::~LoggerGUI() = default;

void LoggerGUI::setLineSink(std::function<void(const std::string&)> sink) {
  sink_ = std::move(sink);
  list_.setLineSink(sink_);
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
  connect(load, &QPushButton::clicked, this, [this] { guarded("Load EDL", [this] { onLoad(); }); });
  connect(save, &QPushButton::clicked, this, [this] { guarded("Save EDL", [this] { onSave(); }); });
  connect(review, &QPushButton::clicked, this,
          [this] { guarded("Review", [this] { ReviewClip(); }); });
  connect(revall, &QPushButton::clicked, this, [this] { guarded("RevALL", [this] { RevAll(); }); });
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

    QPushButton* sib = ButArray_[r][0];
    QPushButton* sob = ButArray_[r][1];
    QPushButton* cue = CueArray_[r];
    connect(sib, &QPushButton::clicked, this,
            [this, sib] { guarded(">", [this, sib] { onTimeButton(sib, 2); }); });
    connect(sob, &QPushButton::clicked, this,
            [this, sob] { guarded("<", [this, sob] { onTimeButton(sob, 3); }); });
    connect(cue, &QPushButton::clicked, this,
            [this, cue] { guarded("*", [this, cue] { onCueButton(cue); }); });
  }

  // Only row 0 is edited in place: Enter stores its text in the entry it shows.
  for (int c = 1; c <= 3; ++c) {
    QLineEdit* f = TFArray_[0][c];
    f->setReadOnly(false);
    connect(f, &QLineEdit::returnPressed, this,
            [this, c] { guarded("Enter", [this, c] { onEnter(c); }); });
  }

  vsb_ = new QScrollBar(Qt::Vertical, this);
  vsb_->setObjectName(QStringLiteral("vsb"));
  // Values 0 .. 80 with 20 rows visible: row 0 can show any entry up to the 81st.
  vsb_->setRange(0, EditList::kEntries - NumRows);
  vsb_->setPageStep(NumRows);
  vsb_->setSingleStep(1);
  vsb_->setValue(0);
  vsb_->setGeometry(c6 + 12, T + 20, 20, GUIheight - 55);
  connect(vsb_, &QScrollBar::valueChanged, this,
          [this](int v) { guarded("Scroll", [this, v] { onScroll(v); }); });
}

template <typename F>
void LoggerGUI::guarded(const char* what, F&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    sink_(std::string("Logger ") + what + " error: " + e.what());
  } catch (...) {
    sink_(std::string("Logger ") + what + " error: unknown");
  }
}

void LoggerGUI::ReState(int first) {
  for (int r = 0; r < NumRows; ++r) {
    const int i = first + r;
    TFArray_[r][0]->setText(fromBytes(list_.EdNumArray.at(i)));
    TFArray_[r][1]->setText(fromBytes(list_.ClipNameArray.at(i)));
    TFArray_[r][2]->setText(fromBytes(list_.SrcInArray.at(i)));
    TFArray_[r][3]->setText(fromBytes(list_.SrcOutArray.at(i)));
    // Long texts show their start, as a fresh field would.
    for (QLineEdit* f : TFArray_[r]) {
      f->setCursorPosition(0);
    }
  }
}

void LoggerGUI::onScroll(int value) {
  ReState(value);
  vsbval = value;
}

void LoggerGUI::onEnter(int column) {
  const std::string text = toBytes(TFArray_[0][column]->text());
  switch (column) {
    case 1:
      list_.ClipNameArray.at(vsbval) = text;
      break;
    case 2:
      list_.SrcInArray.at(vsbval) = text;
      break;
    default:
      list_.SrcOutArray.at(vsbval) = text;
      break;
  }
}

void LoggerGUI::onTimeButton(QPushButton* button, int column) {
  const int r = button->property(kActionCommand).toString().toInt();
  const std::string t = vcr_.tcText();
  auto& times = column == 2 ? list_.SrcInArray : list_.SrcOutArray;
  times.at(vsbval + r) = t;
  TFArray_[r][column]->setText(fromBytes(t));
  TFArray_[r][column]->setCursorPosition(0);
}

void LoggerGUI::onCueButton(QPushButton* button) {
  const int r = button->property(kActionCommand).toString().toInt();
  vcr_.setCueText(list_.SrcInArray.at(vsbval + r));
  vcr_.setEndText(list_.SrcOutArray.at(vsbval + r));
}

void LoggerGUI::ReviewClip() {
  const int i = vsbval;
  std::string in = list_.SrcInArray.at(i);
  std::string out = list_.SrcOutArray.at(i);
  LocalVCR* vcr = &vcr_;
  auto sink = sink_;
  // The worker gets copies: the window and its list may change or close while the clip plays.
  vcr_.postRun([vcr, sink, in = std::move(in), out = std::move(out), i] {
    vcr->setCueText(in);
    vcr->setEndText(out);
    sink("Review EDL Clip " + std::to_string(i + 1));
    vcr->reviewclip();
  });
}

void LoggerGUI::RevAll() {
  std::vector<std::pair<std::string, std::string>> clips;
  for (int i = 0; i < kMaxReviewAll; ++i) {
    if (list_.SrcOutArray[i] == EditList::TCString) {
      break;
    }
    clips.emplace_back(list_.SrcInArray[i], list_.SrcOutArray[i]);
  }
  LocalVCR* vcr = &vcr_;
  auto sink = sink_;
  // A run the operator can take over with a transport control: no further clip is reviewed.
  vcr_.postRun([vcr, sink, clips = std::move(clips)] { vcr->reviewall(clips, sink); });
}

std::string LoggerGUI::GetFileName(const QString& title) {
  const QString path = chooser ? chooser(this, title, LoadOrSave_) : QString();
  if (path.isEmpty()) {
    list_.savename.clear();
    return {};
  }
  list_.savename = toBytes(QFileInfo(path).fileName());
  return QFile::encodeName(path).toStdString();
}

void LoggerGUI::onLoad() {
  LoadOrSave_ = 0;
  const std::string path = GetFileName(QStringLiteral("Load Standard EDL"));
  if (path.empty()) {
    return;
  }
  list_.LoadEDL(path);
  // Back to the start, so every row acts on the entry it shows.
  vsbval = 0;
  vsb_->setValue(0);
  ReState(0);
}

void LoggerGUI::onSave() {
  LoadOrSave_ = 1;
  const std::string path = GetFileName(QStringLiteral("Save Standard EDL"));
  if (path.empty()) {
    return;
  }
  list_.SaveEDL(path);
}
