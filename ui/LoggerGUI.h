#pragma once

#include <QWidget>

class LocalVCR;

// The clip logger window (placeholder until the logger lands).
class LoggerGUI : public QWidget {
  Q_OBJECT
 public:
  explicit LoggerGUI(LocalVCR& vcr, QWidget* parent = nullptr);
};
