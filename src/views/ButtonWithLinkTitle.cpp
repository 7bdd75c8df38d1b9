#include "views/ButtonWithLinkTitle.h"

#include <QFontMetricsF>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <cmath>

ButtonWithLinkTitle::ButtonWithLinkTitle(const QString& text, QWidget* parent) : ButtonWithPointCursor(text, parent) {}

void ButtonWithLinkTitle::setVerticalMargin(qreal value) {
    verticalMargin_ = value;
    updateGeometry();
}

QSizeF ButtonWithLinkTitle::naturalSize(const QSizeF& titleSize, qreal verticalMargin) {
    return {titleSize.width() * 1.2, titleSize.height() + 2.0 * verticalMargin};
}

QSizeF ButtonWithLinkTitle::measuredTitleSize() const {
    const QFontMetricsF metrics(font());
    const QRectF box = metrics.boundingRect(QRectF(), Qt::AlignLeft | Qt::TextSingleLine, text());
    return {box.width(), box.height() + metrics.leading()};
}

QSize ButtonWithLinkTitle::sizeHint() const {
    const QSizeF size = naturalSize(measuredTitleSize(), verticalMargin_);
    return {int(std::ceil(size.width())), int(std::ceil(size.height()))};
}

QSize ButtonWithLinkTitle::minimumSizeHint() const {
    return {0, sizeHint().height()};
}

void ButtonWithLinkTitle::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text = fontMetrics().elidedText(text(), Qt::ElideRight, width());
    painter.drawControl(QStyle::CE_PushButton, option);
}
