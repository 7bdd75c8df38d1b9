#include "views/ButtonWithLinkTitle.h"

#include "views/StyledTextView.h"

#include <QFontMetricsF>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <cmath>

ButtonWithLinkTitle::ButtonWithLinkTitle(const QString& text, QWidget* parent) : ButtonWithPointCursor(text, parent) {}

void ButtonWithLinkTitle::setStyledTitle(const StyledText& styled) {
    styled_ = styled;
    setFont(styledFont(styled, font()));
    setText(styled.text);
    updateGeometry();
    update();
}

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
    if (styled_) {
        // A link: only its title, no bevel.
        const QColor colour = styled_->color ? systemColor(*styled_->color, palette())
                                             : palette().color(QPalette::ButtonText);
        painter.setPen(colour);
        painter.setFont(font());
        Qt::Alignment alignment = styled_->alignment.value_or(Qt::AlignCenter);
        if (!(alignment & Qt::AlignVertical_Mask))
            alignment |= Qt::AlignVCenter;
        const QString shown = styled_->elideTail ? fontMetrics().elidedText(text(), Qt::ElideRight, width()) : text();
        painter.drawText(rect(), int(alignment) | Qt::TextSingleLine, shown);
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
        return;
    }
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text = fontMetrics().elidedText(text(), Qt::ElideRight, width());
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    // The button is only as tall as its title: the style's contents rect, inset by the bevel's
    // margins, would cut off what lies below the baseline ("_", "p"). The title gets the whole rect.
    painter.drawControl(QStyle::CE_PushButtonLabel, option);
}
