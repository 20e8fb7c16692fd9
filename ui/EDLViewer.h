#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "edl/ConverterView.h"
#include "edl/EdlConverter.h"

class QCheckBox;
class QCloseEvent;
class QPlainTextEdit;
class QPushButton;

// The converter window for the DVD recorder's list: the source EDL on the left, the recorder
// list on the right, two rows of command buttons and a column of option check boxes (one set
// per window). All conversion work is done by its EdlConverter; the window forwards the
// commands and shows the texts. It deletes itself when closed.
class EDLViewer : public QWidget, private ConverterView {
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

  const EdlConverter& converter() const { return *conv_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // ConverterView
  void showSource(const std::string& text) override;
  void showList(const std::string& lxfile) override;
  void showTitle(const std::string& title) override;
  void print(const std::string& line) override;
  void pause(int ms) override;

  void buildLayout();
  void LoadEDL();
  void SaveEDL();
  // Runs one operator action: errors are reported in one line and the window goes on.
  void run(const char* what, const std::function<void()>& action);
  void syncAllPs();
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
  std::unique_ptr<EdlConverter> conv_;
  QString directory_;
  bool waiting_ = false;
  bool closeRequested_ = false;
};
