#include "views/SwitchButton.h"

#include "views/Assets.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace {
const QString kOnImage = QStringLiteral("leftPanel_videoDesktop_checkBox_checked_normal");
const QString kOffImage = QStringLiteral("leftPanel_videoDesktop_checkBox_unchecked_normal");
}  // namespace

std::optional<SwitchButtonState> switchButtonStateFromRaw(int raw) {
    if (raw < int(SwitchButtonState::open_normal) || raw > int(SwitchButtonState::disable))
        return std::nullopt;
    return SwitchButtonState(raw);
}

SwitchButton::SwitchButton(const QRect& frame, std::function<void(bool)> clickClosure, QWidget* parent)
    : QLabel(parent), clickClosure_(std::move(clickClosure)) {
    setGeometry(frame);
    setPixmap(assetImage(kOffImage));
    setScaledContents(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleDescription(tr("Off"));
}

void SwitchButton::setIsOpen(bool open) {
    isOpen_ = open;
    state_ = open ? SwitchButtonState::open_normal : SwitchButtonState::close_normal;
    setPixmap(assetImage(open ? kOnImage : kOffImage));
    setAccessibleDescription(open ? tr("On") : tr("Off"));
}

void SwitchButton::clickGestureRecognizerAction() {
    setIsOpen(!isOpen_);
    if (clickClosure_)
        clickClosure_(isOpen_);
}

void SwitchButton::mousePressEvent(QMouseEvent* event) {
    // Taken, so that a click on the switch never reaches the view behind it.
    event->accept();
    click_.press(event);
}

void SwitchButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (click_.release(event, this))
        clickGestureRecognizerAction();
}

void SwitchButton::keyPressEvent(QKeyEvent* event) {
    if (isActivationKey(event->key())) {
        clickGestureRecognizerAction();
        return;
    }
    QLabel::keyPressEvent(event);
}
