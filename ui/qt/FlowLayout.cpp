#include "ui/qt/FlowLayout.h"

#include <QLayoutItem>
#include <QWidget>
#include <algorithm>

FlowLayout::FlowLayout(QWidget* parent, int margin, int gap)
    : QLayout(parent), margin_(margin), gap_(gap) {
  setContentsMargins(0, 0, 0, 0);  // the margin is applied by arrange
}

FlowLayout::~FlowLayout() {
  while (QLayoutItem* item = takeAt(0)) {
    delete item;  // the layout owns its items (not their widgets)
  }
}

void FlowLayout::addItem(QLayoutItem* item) {
  items_.append(item);
}

QLayoutItem* FlowLayout::itemAt(int index) const {
  return index >= 0 && index < items_.size() ? items_.at(index) : nullptr;
}

QLayoutItem* FlowLayout::takeAt(int index) {
  return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

int FlowLayout::heightForWidth(int width) const {
  return arrange(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::sizeHint() const {
  int w = 0;
  int h = 0;
  for (const QLayoutItem* item : items_) {
    const QSize s = item->sizeHint();
    w += s.width() + (w > 0 ? gap_ : 0);
    h = std::max(h, s.height());
  }
  return {w + 2 * margin_, h + 2 * margin_};
}

QSize FlowLayout::minimumSize() const {
  QSize s(0, 0);
  for (const QLayoutItem* item : items_) {
    s = s.expandedTo(item->sizeHint());
  }
  return s + QSize(2 * margin_, 2 * margin_);
}

void FlowLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  arrange(rect, true);
}

int FlowLayout::arrange(const QRect& rect, bool place) const {
  const QRect area = rect.adjusted(margin_, margin_, -margin_, -margin_);
  int y = area.y();
  int i = 0;
  while (i < items_.size()) {
    // Take as many items as fit on this line (at least one), then right-align them.
    int end = i;
    int lineWidth = 0;
    int lineHeight = 0;
    while (end < items_.size()) {
      const QSize s = items_.at(end)->sizeHint();
      const int next = lineWidth + (end > i ? gap_ : 0) + s.width();
      if (end > i && next > area.width()) {
        break;
      }
      lineWidth = next;
      lineHeight = std::max(lineHeight, s.height());
      ++end;
    }
    if (place) {
      int x = area.x() + std::max(0, area.width() - lineWidth);
      for (int k = i; k < end; ++k) {
        const QSize s = items_.at(k)->sizeHint();
        items_.at(k)->setGeometry(QRect(QPoint(x, y), s));
        x += s.width() + gap_;
      }
    }
    y += lineHeight + gap_;
    i = end;
  }
  return y - gap_ - area.y() + 2 * margin_;
}
