#include "views/TabTitleView.h"

#include <QPaintEvent>
#include <QPainter>

TabTitleView::TabTitleView(QWidget* parent) : QWidget(parent) {}

QColor TabTitleView::accentColor() const {
    return palette().color(QPalette::Active, QPalette::Highlight);
}

void TabTitleView::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    if (highlight) {
        painter.fillRect(QRectF(0, height() - 3.0, width(), 3.0), accentColor());
    } else {
        // Leaves what lies beneath visible.
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.fillRect(event->rect(), Qt::transparent);
    }
}
