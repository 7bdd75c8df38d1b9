#include "views/Activation.h"

#include <QMouseEvent>

bool isActivationKey(int key) {
    return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
}

void ClickTracker::press(const QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
}

bool ClickTracker::release(const QMouseEvent* event, const QWidget* widget) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       widget->rect().contains(event->position().toPoint());
    pressed_ = false;
    return click;
}

QWidget* makeCloseOnlyWindow(const QString& objectName, const QString& title) {
    auto* window = new QWidget(nullptr,
                               Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    window->setObjectName(objectName);
    window->setWindowTitle(title);
    return window;
}

void bringToFront(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
}
