#include "player/CustomAlertWindowController.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

CustomAlertWindowController::CustomAlertWindowController() = default;

CustomAlertWindowController::~CustomAlertWindowController() {
    if (window_)
        window_->deleteLater();
}

QDialog* CustomAlertWindowController::window() {
    if (!window_) {
        // Only the close button: no minimise, no maximise, no full screen.
        window_ = new QDialog(nullptr,
                              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        window_->setMinimumWidth(320);

        titleLabel_ = new QLabel(window_);
        QFont titleFont = titleLabel_->font();
        titleFont.setBold(true);
        titleFont.setPixelSize(15);
        titleLabel_->setFont(titleFont);
        titleLabel_->setAlignment(Qt::AlignCenter);

        infoLabel_ = new QLabel(window_);
        infoLabel_->setAlignment(Qt::AlignCenter);
        infoLabel_->setWordWrap(true);

        okButton_ = new QPushButton(tr("OK"), window_);
        okButton_->setDefault(true);
        connect(okButton_, &QPushButton::clicked, this, &CustomAlertWindowController::ok);

        auto* layout = new QVBoxLayout(window_);
        layout->setContentsMargins(24, 20, 24, 16);
        layout->setSpacing(10);
        layout->addWidget(titleLabel_);
        layout->addWidget(infoLabel_);
        auto* row = new QHBoxLayout;
        row->addStretch();
        row->addWidget(okButton_);
        layout->addLayout(row);
    }
    return window_;
}

void CustomAlertWindowController::showWindow() {
    QDialog* w = window();
    w->show();
    w->raise();
    w->activateWindow();
}

void CustomAlertWindowController::ok() {
    if (window_)
        window_->close();
}
