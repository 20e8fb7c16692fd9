#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "edl/EdlConverter.h"
#include "ui/core/ConverterPresenter.h"
#include "ui/core/ConverterWindowView.h"

class QCheckBox;
class QCloseEvent;
class QPlainTextEdit;
class QPushButton;

// The converter window for the DVD recorder's list, drawn with Qt: the source EDL on the left,
// the recorder list on the right, two rows of command buttons and a column of option check
// boxes (one set per window). ConverterPresenter decides what each button and box does; the
// window forwards them, shows the texts and locks its controls during the converter's pauses.
// It deletes itself when closed.
class EDLViewer : public QWidget, private ConverterWindowView {
  Q_OBJECT
 public:
  explicit EDLViewer(QWidget* parent = nullptr);
  ~EDLViewer() override;

  // Asks the operator for a file: returns the chosen path, or an empty text when cancelled.
  // Tests replace it so that no dialog ever blocks.
  using FileChooser = std::function<QString(QWidget* parent, const QString& title,
                                            const QString& directory, bool save)>;
  static FileChooser chooser;
  // The converter's timed pauses; when unset the window waits without blocking (see wait).
  using Pauser = std::function<void(EDLViewer* window, int ms)>;
  static Pauser pauser;

  // Runs a button command: "auto", "del", "pause", "stop", "wait", "chap", "next", "back",
  // "load" or "save"; anything else is ignored.
  void actionPerformed(const QString& command);

  // Waits ms milliseconds with the window's controls locked while it keeps repainting.
  void wait(int ms);
  bool isWaiting() const { return waiting_; }

  const EdlConverter& converter() const { return presenter_->converter(); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // ConverterView
  void showSource(const std::string& text) override;
  void showList(const std::string& lxfile) override;
  void showTitle(const std::string& title) override;
  void print(const std::string& line) override;
  void pause(int ms) override;
  // ConverterWindowView
  std::string chooseFile(const std::string& title, const std::string& directory,
                         bool save) override;
  void showOptions(const ConverterOptions& options) override;

  void buildLayout();
  // After an operator action: a close asked for during a pause happens now.
  void afterAction();
  static QString chooseWithDialog(QWidget* parent, const QString& title, const QString& directory,
                                  bool save);

  QPlainTextEdit* textarea_ = nullptr;
  QPlainTextEdit* outarea_ = nullptr;
  QWidget* checkPanel_ = nullptr;
  QWidget* buttonRow1_ = nullptr;
  QWidget* buttonRow2_ = nullptr;
  QCheckBox* useini_ = nullptr;
  QCheckBox* usefnl_ = nullptr;
  QCheckBox* recmode_ = nullptr;
  QCheckBox* autoch_ = nullptr;
  QCheckBox* namech_ = nullptr;
  QCheckBox* opti_ = nullptr;
  std::unique_ptr<ConverterPresenter> presenter_;
  bool waiting_ = false;
  bool closeRequested_ = false;
};
