#pragma once
#include "shared/Disposable.h"

#include <QWidget>

class Preferences;
class QLabel;
class SwitchButton;

// A small panel with the video-wallpaper switch (bound to the open flag) and an inert second
// switch beside a lock label. Nothing in the program shows it yet.
class FunctionViewController : public QWidget {
    Q_OBJECT
public:
    explicit FunctionViewController(Preferences& preferences, QWidget* parent = nullptr);

    QLabel* videoLabel = nullptr;
    QLabel* lockLabel = nullptr;
    SwitchButton* videoButton = nullptr;
    DisposablePtr observeDispose;

protected:
    // The switch shows the current flag before the first change arrives.
    void showEvent(QShowEvent* event) override;

private:
    Preferences& preferences_;
};
