#pragma once

#include <QWidget>

// The converter window for the DVD recorder's list (placeholder until the converter lands).
class EDLViewer : public QWidget {
  Q_OBJECT
 public:
  explicit EDLViewer(QWidget* parent = nullptr);
};
