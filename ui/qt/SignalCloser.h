#pragma once

#include <QObject>
#include <csignal>

class QSocketNotifier;
class QWidget;

// Turns SIGTERM and SIGINT into a close of one window on the GUI thread, so that a service
// manager, a test harness or Ctrl-C in a terminal end the program exactly as the operator's close
// does (the deck controller's closing Stop frames included). The handler only writes a byte to a
// pipe; the GUI thread reads it and closes the window. A second signal of the same kind ends the
// process with the default action. One instance per process at a time.
class SignalCloser : public QObject {
  Q_OBJECT

 public:
  explicit SignalCloser(QWidget& window);
  ~SignalCloser() override;
  SignalCloser(const SignalCloser&) = delete;
  SignalCloser& operator=(const SignalCloser&) = delete;

  // False when the pipe or the handlers could not be set up (signals then keep their default).
  bool active() const { return active_; }

 private:
  static void onSignal(int signo);
  void onReadable();

  // Class-level because a signal handler can reach nothing else.
  static int pipeFds_[2];

  QWidget& window_;
  QSocketNotifier* notifier_ = nullptr;
  bool active_ = false;
  struct sigaction oldTerm_ {};
  struct sigaction oldInt_ {};
};
