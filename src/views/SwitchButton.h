#pragma once
#include "views/Activation.h"

#include <QLabel>
#include <functional>
#include <optional>

// The switch's looks. The switch itself only enters open_normal and close_normal.
enum class SwitchButtonState : int {
    open_normal = 0,
    open_hover = 1,
    open_press = 2,
    close_normal = 3,
    close_hover = 4,
    close_press = 5,
    disable = 6,
};
// None for a raw value outside 0-6.
std::optional<SwitchButtonState> switchButtonStateFromRaw(int raw);

// A small on/off switch drawn as a picture. A click (or Space / Return while focused) flips it
// and tells the owner the new value; writing `isOpen` from outside never calls the closure, so a
// binding that writes the setting's value back cannot write the setting again.
class SwitchButton : public QLabel {
    Q_OBJECT
    Q_PROPERTY(bool isOpen READ isOpen WRITE setIsOpen)
public:
    SwitchButton(const QRect& frame, std::function<void(bool)> clickClosure, QWidget* parent = nullptr);

    bool isOpen() const { return isOpen_; }
    // Sets the picture on every call, also when the value stays.
    void setIsOpen(bool open);
    SwitchButtonState state() const { return state_; }

    // What a click does: flip through the setter, then tell the owner.
    void clickGestureRecognizerAction();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    SwitchButtonState state_ = SwitchButtonState::close_normal;
    bool isOpen_ = false;
    ClickTracker click_;
    std::function<void(bool)> clickClosure_;
};
