#include "views/ClickableImageView.h"

#include <QKeyEvent>
#include <QMouseEvent>

ClickableImageView::ClickableImageView(QWidget* parent) : QLabel(parent) {
    resetCursorRects();
}

ClickableImageView::ClickableImageView(const QRect& frame, QWidget* parent) : QLabel(parent) {
    setGeometry(frame);
    resetCursorRects();
}

void ClickableImageView::setChangeCurser(bool change) {
    changeCurser_ = change;
    resetCursorRects();
}

void ClickableImageView::resetCursorRects() {
    if (changeCurser_)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void ClickableImageView::enterEvent(QEnterEvent*) {
    if (trackingAreas_ > 0 && hoverImage)
        setPixmap(*hoverImage);
}

void ClickableImageView::leaveEvent(QEvent*) {
    if (trackingAreas_ > 0 && normalImage)
        setPixmap(*normalImage);
}

void ClickableImageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    // Taken, so that the release comes here.
    event->accept();
    click_.press(event);
}

void ClickableImageView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    if (click_.release(event, this) && clickAction)
        clickAction();
}

void ClickableImageView::keyPressEvent(QKeyEvent* event) {
    if (clickAction && isActivationKey(event->key())) {
        clickAction();
        return;
    }
    QLabel::keyPressEvent(event);
}

void ClickableImageView::showEvent(QShowEvent* event) {
    QLabel::showEvent(event);
    if (hiddenSinceShown_) {
        hiddenSinceShown_ = false;
        ++trackingAreas_;
    }
}

void ClickableImageView::hideEvent(QHideEvent* event) {
    QLabel::hideEvent(event);
    hiddenSinceShown_ = true;
    trackingAreas_ = 0;
}
