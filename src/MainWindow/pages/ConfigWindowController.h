#pragma once
#include "shared/Disposable.h"

#include <QList>
#include <QVariantMap>
#include <QWidget>
#include <vector>

class Preferences;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QRadioButton;

// The settings window: the monitor arrangement, the screen of the single-screen arrangement
// and start at login. It writes the shared settings, from which the desktop player takes them,
// and follows them back when the desktop player's menu changes them. The screen list follows
// screens added or removed while the window exists.
class ConfigWindowController : public QObject {
    Q_OBJECT
public:
    static inline const QString nibName = QStringLiteral("ConfigWindowController");

    explicit ConfigWindowController(Preferences& preferences, QObject* parent = nullptr);
    ~ConfigWindowController() override;

    QWidget* window() const { return window_; }
    // Shows the window (centred on `over` when given) and brings it to the front.
    void showWindow(QWidget* over = nullptr);

    // One entry per screen, in the system's order: "name" "Monitor N" (from 1), "tag" N - 1.
    static QList<QVariantMap> monitorArray();

    // The radios' action: the sender's tag is the arrangement.
    void changeMonitorArrange(int tag);
    // The pop-up's action: the selected item's tag, or 0 with no item selected.
    void switchMonitor();

    QCheckBox* autoStartCheckBox = nullptr;
    QRadioButton* multipleRadioButton = nullptr;
    QRadioButton* singleRadioButton = nullptr;
    QRadioButton* mirrorRadioButton = nullptr;
    QComboBox* monitorList = nullptr;

private:
    void awakeFromNib();
    void showArrangement(qint64 value);
    void selectScreen(qint64 index);
    void fillMonitorList();

    Preferences& preferences_;
    std::vector<DisposablePtr> observeDisposes;
    QWidget* window_ = nullptr;
    QButtonGroup* arrangeGroup_ = nullptr;
};
