#include "MainWindow/onlinelibrary/ButtonWithColorfulLink.h"

#include "shared/PlainText.h"

#include <QMouseEvent>
#include <algorithm>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

ButtonWithColorfulLink::ButtonWithColorfulLink(const QString& text, QWidget* parent)
    : ButtonWithPointCursor(parent), titleColor_(palette().color(QPalette::WindowText)) {
    setTitle(text);
    setFlat(true);
    setAttribute(Qt::WA_Hover);
    applyTitleColor(titleColor_);
}

void ButtonWithColorfulLink::setTitle(const QString& title) {
    title_ = title;
    setText(literalAmpersands(title));
}

void ButtonWithColorfulLink::setTitleColor(const QColor& color) {
    titleColor_ = color;
    applyTitleColor(color);
}

void ButtonWithColorfulLink::setTitleHoverColor(const QColor& color) {
    titleHoverColor_ = color.isValid() ? std::optional<QColor>(color) : std::nullopt;
}

void ButtonWithColorfulLink::setTitlePressedColor(const QColor& color) {
    titlePressedColor_ = color.isValid() ? std::optional<QColor>(color) : std::nullopt;
}

void ButtonWithColorfulLink::setFontSize(qreal size) {
    fontSize_ = size;
    applyTitleColor(titleColor_);
}

void ButtonWithColorfulLink::applyTitleColor(const QColor& color) {
    shown_ = color;
    QFont font = this->font();
    font.setPixelSize(qMax(1, qRound(fontSize_)));
    setFont(font);
    updateGeometry();
    update();
}

void ButtonWithColorfulLink::enterEvent(QEnterEvent* event) {
    ButtonWithPointCursor::enterEvent(event);
    if (isEnabled() && titleHoverColor_)
        applyTitleColor(*titleHoverColor_);
}

void ButtonWithColorfulLink::leaveEvent(QEvent* event) {
    ButtonWithPointCursor::leaveEvent(event);
    if (isEnabled())
        applyTitleColor(titleColor_);
}

void ButtonWithColorfulLink::mousePressEvent(QMouseEvent* event) {
    if (isEnabled() && titlePressedColor_)
        applyTitleColor(*titlePressedColor_);
    ButtonWithPointCursor::mousePressEvent(event);
}

void ButtonWithColorfulLink::mouseReleaseEvent(QMouseEvent* event) {
    ButtonWithPointCursor::mouseReleaseEvent(event);  // sends the click when released inside
    // The pointer is taken to be over the button after a click.
    if (isEnabled() && titleHoverColor_)
        applyTitleColor(*titleHoverColor_);
}

void ButtonWithColorfulLink::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (hasFocus()) {  // keyboard users see where they are
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
    painter.setPen(shown_);
    painter.setFont(font());
    // A button narrower than its title shows it elided, inside the padding it has when it fits.
    const QFontMetrics metrics = painter.fontMetrics();
    const int padding = std::max(0, sizeHint().width() - metrics.horizontalAdvance(title_)) / 2;
    const QString shown = metrics.elidedText(title_, Qt::ElideRight, std::max(0, width() - 2 * padding));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, shown);
}
