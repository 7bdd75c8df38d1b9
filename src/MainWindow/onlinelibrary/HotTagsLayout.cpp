#include "MainWindow/onlinelibrary/HotTagsLayout.h"

#include <QWidget>
#include <algorithm>

HotTagsLayout::HotTagsLayout(QWidget* parent) : QLayout(parent) {
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

HotTagsLayout::~HotTagsLayout() {
    qDeleteAll(items_);
}

void HotTagsLayout::addItem(QLayoutItem* item) {
    items_.append(item);
}

QLayoutItem* HotTagsLayout::takeAt(int index) {
    return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

QSize HotTagsLayout::sizeHint() const {
    // All in one row.
    QSize size;
    for (const QLayoutItem* item : items_) {
        const QSize hint = item->sizeHint();
        size = QSize(size.width() + std::min(hint.width(), kMostTagWidth), std::max(size.height(), hint.height()));
    }
    return size;
}

QSize HotTagsLayout::minimumSize() const {
    // Any width will do: the rows grow instead.
    int height = 0;
    for (const QLayoutItem* item : items_)
        height = std::max(height, item->sizeHint().height());
    return QSize(0, height);
}

void HotTagsLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    place(rect, true);
}

int HotTagsLayout::place(const QRect& rect, bool apply) const {
    const int left = rect.x();
    const int right = rect.x() + rect.width();  // one past the last column
    int x = right;
    int y = rect.y();
    int rowHeight = 0;
    for (QLayoutItem* item : items_) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        const int width = std::min({hint.width(), kMostTagWidth, std::max(rect.width(), 1)});
        if (x - width < left && rowHeight > 0) {  // the next row, again from the right edge
            y += rowHeight;
            x = right;
            rowHeight = 0;
        }
        if (apply)
            item->setGeometry(QRect(x - width, y, width, hint.height()));
        x -= width;
        rowHeight = std::max(rowHeight, hint.height());
    }
    return y + rowHeight - rect.y();
}
