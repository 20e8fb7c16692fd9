#include "ui/EDLViewer.h"

EDLViewer::EDLViewer(QWidget* parent) : QWidget(parent) {}
