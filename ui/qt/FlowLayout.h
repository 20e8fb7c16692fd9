#pragma once

#include <QLayout>
#include <QList>

class QLayoutItem;

// A right-aligned row of widgets at their preferred sizes that wraps onto further lines when the
// width runs short, so that a button row never pushes its window wider than the screen and no
// button is ever narrower than its label.
class FlowLayout : public QLayout {
 public:
  FlowLayout(QWidget* parent, int margin, int gap);
  ~FlowLayout() override;
  FlowLayout(const FlowLayout&) = delete;
  FlowLayout& operator=(const FlowLayout&) = delete;

  void addItem(QLayoutItem* item) override;
  int count() const override { return static_cast<int>(items_.size()); }
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;

  Qt::Orientations expandingDirections() const override { return {}; }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  QSize sizeHint() const override;     // everything on one line
  QSize minimumSize() const override;  // the widest item alone
  void setGeometry(const QRect& rect) override;

 private:
  // Places the items in rect (or only measures, when place is false); answers the height used.
  int arrange(const QRect& rect, bool place) const;

  QList<QLayoutItem*> items_;
  int margin_;
  int gap_;
};
