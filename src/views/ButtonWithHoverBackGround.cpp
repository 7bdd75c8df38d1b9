#include "views/ButtonWithHoverBackGround.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStyleOptionButton>

ButtonWithHoverBackGround::ButtonWithHoverBackGround(QWidget* parent) : ButtonWithHoverBackGround(QString(), parent) {}

ButtonWithHoverBackGround::ButtonWithHoverBackGround(const QString& text, QWidget* parent)
    : ButtonWithPointCursor(text, parent),
      normalColor_(palette().color(QPalette::Base)),
      titleColor_(palette().color(QPalette::WindowText)) {
    styleOnCreation();
}

void ButtonWithHoverBackGround::styleOnCreation() {
    setAttribute(Qt::WA_Hover);
    background_ = normalColor_;
    rebuildTitle();
}

void ButtonWithHoverBackGround::rebuildTitle() {
    background_ = normalColor_;
    styledTitle_ = text();
    titleStyled_ = true;
    update();
}

bool ButtonWithHoverBackGround::isTitleStyled() const {
    return titleStyled_ && styledTitle_ == text();
}

void ButtonWithHoverBackGround::setNormalColor(const QColor& color) {
    normalColor_ = color;
    background_ = color;
    update();
}

void ButtonWithHoverBackGround::setTitleColor(const QColor& color) {
    titleColor_ = color;
    rebuildTitle();
}

void ButtonWithHoverBackGround::setIsCustomBorder(bool value) {
    isCustomBorder_ = value;
    borderDrawn_ = true;
    update();
}

void ButtonWithHoverBackGround::setCornerRadius(qreal radius) {
    cornerRadius_ = radius;
    update();
}

void ButtonWithHoverBackGround::enterEvent(QEnterEvent* event) {
    ButtonWithPointCursor::enterEvent(event);
    if (!isEnabled())
        return;
    if (!hoverImage_.isNull())
        setIcon(hoverImage_);
    if (hoverColor_.isValid()) {
        background_ = hoverColor_;
        update();
    }
}

void ButtonWithHoverBackGround::leaveEvent(QEvent* event) {
    ButtonWithPointCursor::leaveEvent(event);
    if (!isEnabled())
        return;
    if (!normalImage_.isNull())
        setIcon(normalImage_);
    background_ = normalColor_;
    update();
}

void ButtonWithHoverBackGround::mousePressEvent(QMouseEvent* event) {
    // Only the left button presses it; the others reach the parent (its context menu, say).
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    if (isEnabled() && pressedColor_.isValid()) {
        background_ = pressedColor_;
        update();
    }
    pressing_ = true;
    ButtonWithPointCursor::mousePressEvent(event);
}

void ButtonWithHoverBackGround::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    // The click handler may close or delete the window that holds the button.
    QPointer<ButtonWithHoverBackGround> self(this);
    const bool wasPressing = pressing_;
    pressing_ = false;
    ButtonWithPointCursor::mouseReleaseEvent(event);
    if (!self || !wasPressing)
        return;
    if (isEnabled() && hoverColor_.isValid()) {
        background_ = hoverColor_;
        update();
    }
}

void ButtonWithHoverBackGround::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
    QPainterPath shape;
    shape.addRoundedRect(box, cornerRadius_, cornerRadius_);
    painter.fillPath(shape, background_);
    if (borderDrawn_) {
        painter.setPen(QPen(QColor(Qt::lightGray), 0.5));
        painter.drawPath(shape);
    }
    painter.setClipPath(shape);

    QStyleOptionButton option;
    initStyleOption(&option);
    option.features |= QStyleOptionButton::Flat;
    if (isTitleStyled()) {
        QFont titleFont = QApplication::font();
        titleFont.setPixelSize(14);
        painter.setFont(titleFont);
        option.fontMetrics = QFontMetrics(titleFont);
        option.palette.setColor(QPalette::ButtonText, titleColor_);
    }
    style()->drawControl(QStyle::CE_PushButtonLabel, &option, &painter, this);
}
