#pragma once
#include <QWidget>

class QMouseEvent;

// The keys that press a focused control: Space, Return, Enter.
bool isActivationKey(int key);

// A click as controls here count it: a left press and its release inside the control.
class ClickTracker {
public:
    void press(const QMouseEvent* event);
    // True when this release completes a click on `widget`.
    bool release(const QMouseEvent* event, const QWidget* widget);

private:
    bool pressed_ = false;
};

// A top-level window with a title and a close button only (no minimise, no maximise).
QWidget* makeCloseOnlyWindow(const QString& objectName, const QString& title);
// Shows a window and brings it to the front, without waiting for it.
void bringToFront(QWidget* window);
