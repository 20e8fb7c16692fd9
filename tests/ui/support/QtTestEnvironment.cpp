#include "ui/support/QtTestEnvironment.h"

void QtTestEnvironment::SetUp() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  if (QApplication::instance() == nullptr) {
    app_ = std::make_unique<QApplication>(argc_, argv_);
    QApplication::setQuitOnLastWindowClosed(false);
  }
}

void QtTestEnvironment::TearDown() {
  app_.reset();
}

namespace {
[[maybe_unused]] const auto* const kQtTestEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestEnvironment);
}  // namespace
