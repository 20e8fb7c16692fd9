// Every text of the three windows shows whole: button texts, captions and the timecode fields,
// for every deck kind, at the dpi the test runs with (ctest runs it at 96, 120 and 144).
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/ControllerApp.h"
#include "deck/LocalVCR.h"
#include "serial/CommandLink.h"
#include "ui/qt/EDLViewer.h"
#include "ui/qt/LocalGUI.h"
#include "ui/qt/LoggerGUI.h"

namespace {

class NoLink : public CommandLink {
 public:
  SerialReply SendSerial(std::span<const std::uint8_t>) override { return {}; }
  bool hasPort() const override { return false; }
  bool hasOutStream() const override { return false; }
};

// The texts of a window that do not fit their component, as "name: text".
std::vector<std::string> cutTexts(const QWidget& window) {
  std::vector<std::string> cut;
  auto check = [&cut](const QWidget& w, const QString& text, int margin) {
    if (text.isEmpty() || !w.isVisibleTo(w.window())) {
      return;
    }
    if (w.fontMetrics().horizontalAdvance(text) > w.width() - margin) {
      cut.push_back(w.objectName().toStdString() + ": " + text.toStdString());
    }
  };
  for (const auto* b : window.findChildren<QPushButton*>()) {
    check(*b, b->text(), b->width() > 30 ? 8 : 2);  // the logger's row buttons are tiny
  }
  for (const auto* l : window.findChildren<QLabel*>()) {
    check(*l, l->text(), 0);
  }
  for (const auto* c : window.findChildren<QCheckBox*>()) {
    check(*c, c->text(), 20);  // the box itself comes first
  }
  for (const auto* e : window.findChildren<QLineEdit*>()) {
    if (e->text().size() == 11 && e->text()[2] == ':') {
      check(*e, QStringLiteral("00:00:00:00"), 6);
    }
  }
  return cut;
}

TEST(TextFit, EveryTextShowsWholeInAllThreeWindowsForEveryDeckKind) {
  for (const char* kind : {"VTR", "LX1", "ZARIX", "LANC"}) {
    SCOPED_TRACE(kind);
    ControllerApp::resetDefaults();
    ControllerApp::lx1 = std::string(kind) == "LX1";
    ControllerApp::zarix = std::string(kind) == "ZARIX";
    ControllerApp::lanc = std::string(kind) == "LANC";
    ControllerApp::note = "Suite 2";
    LocalGUI gui;
    gui.show();
    EXPECT_EQ(cutTexts(gui), std::vector<std::string>{});
  }
  NoLink link;
  LocalGUI view;
  LocalVCR vcr(link, false, view);
  LoggerGUI logger(vcr);
  logger.show();
  EXPECT_EQ(cutTexts(logger), std::vector<std::string>{});
  EDLViewer::chooser = [](QWidget*, const QString&, const QString&, bool) { return QString(); };
  auto* converter = new EDLViewer();  // deletes itself when closed
  EXPECT_EQ(cutTexts(*converter), std::vector<std::string>{});

  // The screenshots of the documentation, when asked for (taken at 120 dpi).
  const QString dir = qEnvironmentVariable("ORVA_SCREENSHOT_DIR");
  const QString dpi = qEnvironmentVariable("QT_FONT_DPI", QStringLiteral("96"));
  if (!dir.isEmpty()) {
    ControllerApp::note = "Demo";
    LocalGUI shown;
    shown.show();
    shown.ShowTC("01:02:03:04");
    shown.ShowStatus("Play ");
    QTest::qWait(100);
    EXPECT_TRUE(shown.grab().save(QDir(dir).filePath("control-window-" + dpi + "dpi.png")));
    EXPECT_TRUE(logger.grab().save(QDir(dir).filePath("logger-window-" + dpi + "dpi.png")));
    EXPECT_TRUE(converter->grab().save(QDir(dir).filePath("converter-window-" + dpi + "dpi.png")));
  }
  converter->close();
  EDLViewer::chooser = nullptr;
  ControllerApp::resetDefaults();
}

}  // namespace
