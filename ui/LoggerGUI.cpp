#include "ui/LoggerGUI.h"

LoggerGUI::LoggerGUI(LocalVCR& /*vcr*/, QWidget* parent) : QWidget(parent) {}
