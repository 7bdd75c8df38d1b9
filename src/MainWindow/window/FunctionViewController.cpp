#include "MainWindow/window/FunctionViewController.h"

#include "shared/Preferences.h"
#include "views/SwitchButton.h"

#include <QGridLayout>
#include <QLabel>

FunctionViewController::FunctionViewController(Preferences& preferences, QWidget* parent)
    : QWidget(parent), preferences_(preferences) {
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    videoLabel = new QLabel(tr("Video wallpaper"), this);
    lockLabel = new QLabel(tr("Lock screen"), this);
    videoButton = new SwitchButton(
        {}, [this](bool open) { preferences_.setIsOpenPlayer(open); }, this);
    videoButton->setAccessibleName(videoLabel->text());
    auto* lockButton = new SwitchButton(
        {}, [](bool) {}, this);
    lockButton->setAccessibleName(lockLabel->text());

    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(100);
    for (SwitchButton* button : {videoButton, lockButton})
        button->setFixedSize(36, 18);
    layout->addWidget(videoLabel, 0, 0);
    layout->addWidget(videoButton, 0, 1, Qt::AlignVCenter);
    layout->addWidget(lockLabel, 1, 0);
    layout->addWidget(lockButton, 1, 1, Qt::AlignVCenter);
    observeDispose = bindBool(&preferences_, &Preferences::isOpenPlayerChanged, videoButton, &SwitchButton::setIsOpen);
}

void FunctionViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    videoButton->setIsOpen(preferences_.isOpenPlayer());
}
