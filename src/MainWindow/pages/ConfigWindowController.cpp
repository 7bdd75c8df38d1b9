#include "MainWindow/pages/ConfigWindowController.h"

#include "shared/Preferences.h"
#include "views/Activation.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

ConfigWindowController::ConfigWindowController(Preferences& preferences, QObject* parent)
    : QObject(parent), preferences_(preferences) {
    window_ = makeCloseOnlyWindow(nibName, tr("Preferences"));

    multipleRadioButton = new QRadioButton(tr("Span all screens with one video"), window_);
    multipleRadioButton->setObjectName(QStringLiteral("multipleRadioButton"));
    mirrorRadioButton = new QRadioButton(tr("Show the same video on every screen"), window_);
    mirrorRadioButton->setObjectName(QStringLiteral("mirrorRadioButton"));
    singleRadioButton = new QRadioButton(tr("Show the video on one screen:"), window_);
    singleRadioButton->setObjectName(QStringLiteral("singleRadioButton"));
    // A radio's id is its arrangement value.
    arrangeGroup_ = new QButtonGroup(window_);
    arrangeGroup_->addButton(multipleRadioButton, int(VideoPlayerScreenType::combo));
    arrangeGroup_->addButton(mirrorRadioButton, int(VideoPlayerScreenType::dynamic));
    arrangeGroup_->addButton(singleRadioButton, int(VideoPlayerScreenType::lonely));
    connect(arrangeGroup_, &QButtonGroup::idClicked, this, &ConfigWindowController::changeMonitorArrange);

    monitorList = new QComboBox(window_);
    monitorList->setObjectName(QStringLiteral("monitorList"));
    monitorList->setAccessibleName(tr("Screen"));
    // Only the user's choice writes: refilling or following the setting does not.
    connect(monitorList, &QComboBox::activated, this, [this] { switchMonitor(); });

    autoStartCheckBox = new QCheckBox(tr("Start the wallpaper at login"), window_);
    autoStartCheckBox->setObjectName(QStringLiteral("autoStartCheckBox"));

    auto* layout = new QVBoxLayout(window_);
    auto* heading = new QLabel(tr("Several screens"), window_);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    layout->addWidget(multipleRadioButton);
    layout->addWidget(mirrorRadioButton);
    auto* single = new QHBoxLayout;
    single->addWidget(singleRadioButton);
    single->addWidget(monitorList, 1);
    layout->addLayout(single);
    layout->addSpacing(12);
    auto* general = new QLabel(tr("General"), window_);
    general->setFont(bold);
    layout->addWidget(general);
    layout->addWidget(autoStartCheckBox);
    layout->addStretch(1);
    window_->resize(420, 220);

    fillMonitorList();
    connect(qGuiApp, &QGuiApplication::screenAdded, this, &ConfigWindowController::fillMonitorList);
    // Removal is announced before the screen leaves the list: refill once it is gone.
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] {
        QMetaObject::invokeMethod(this, &ConfigWindowController::fillMonitorList, Qt::QueuedConnection);
    });
    awakeFromNib();
}

ConfigWindowController::~ConfigWindowController() {
    observeDisposes.clear();
    delete window_;
}

void ConfigWindowController::awakeFromNib() {
    Preferences& preferences = preferences_;
    const qint64 arrange = preferences.monitorArrange();
    // A value outside the three shows the spanning arrangement.
    showArrangement(arrange == 1 || arrange == 2 ? arrange : 0);
    selectScreen(preferences.screenIndex());

    observeDisposes.push_back(observe(&preferences, &Preferences::monitorArrangeChanged, this,
                                      [this](qint64 value) { showArrangement(value); }));
    observeDisposes.push_back(
        observe(&preferences, &Preferences::screenIndexChanged, this, [this](qint64 value) { selectScreen(value); }));

    // The check box shows the setting and writes it when clicked.
    autoStartCheckBox->setChecked(preferences.autolaunch());
    connect(autoStartCheckBox, &QCheckBox::clicked, this,
            [this](bool checked) { preferences_.setAutolaunch(checked); });
    observeDisposes.push_back(observe(&preferences, &Preferences::autolaunchChanged, this, [this](bool value) {
        const QSignalBlocker blocker(autoStartCheckBox);
        autoStartCheckBox->setChecked(value);
    }));
}

void ConfigWindowController::showWindow(QWidget* over) {
    if (over) {
        const QRect frame = window_->frameGeometry();
        window_->move(over->frameGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2));
    }
    bringToFront(window_);
}

QList<QVariantMap> ConfigWindowController::monitorArray() {
    QList<QVariantMap> monitors;
    for (int i = 0; i < QGuiApplication::screens().size(); ++i)
        monitors.append({{QStringLiteral("name"), tr("Monitor %1").arg(i + 1)}, {QStringLiteral("tag"), i}});
    return monitors;
}

void ConfigWindowController::changeMonitorArrange(int tag) {
    preferences_.setMonitorArrange(tag);
}

void ConfigWindowController::switchMonitor() {
    const int current = monitorList->currentIndex();
    preferences_.setScreenIndex(current < 0 ? 0 : monitorList->itemData(current).toLongLong());
}

void ConfigWindowController::showArrangement(qint64 value) {
    // A later value outside the three leaves the radios as they are.
    if (QAbstractButton* radio = arrangeGroup_->button(int(value)); radio && value >= 0 && value <= 2)
        radio->setChecked(true);
}

void ConfigWindowController::selectScreen(qint64 index) {
    const int item = monitorList->findData(index);
    if (item >= 0)
        monitorList->setCurrentIndex(item);
}

void ConfigWindowController::fillMonitorList() {
    const QSignalBlocker blocker(monitorList);
    monitorList->clear();
    for (const QVariantMap& monitor : monitorArray())
        monitorList->addItem(monitor.value(QStringLiteral("name")).toString(), monitor.value(QStringLiteral("tag")));
    selectScreen(preferences_.screenIndex());
}
