#pragma once
#include <QObject>
#include <QTimer>

class QScreen;

namespace platform {
// Turns Qt's screen events (a screen added or removed, a new primary screen, a screen's
// geometry changing) into one "screen parameters changed" signal per burst of changes, as a
// display reconfiguration usually brings several of them at once.
class ScreenParametersWatcher : public QObject {
    Q_OBJECT
public:
    static ScreenParametersWatcher& shared();

signals:
    void screenParametersChanged();

private:
    ScreenParametersWatcher();
    void watchScreen(QScreen* screen);
    QTimer settle_;
};
}  // namespace platform
