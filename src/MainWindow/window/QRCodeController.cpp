#include "MainWindow/window/QRCodeController.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>
#include <QWidget>

static void loadResources() {
    // The resources live in a static library: register them before the first use.
    Q_INIT_RESOURCE(mainwindow);
}

QRCodeController::QRCodeController() {
    loadResources();
    // Close button only, on the text background colour.
    window_ = std::make_unique<QWidget>(
        nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    window_->setObjectName(QStringLiteral("qrCodeWindow"));
    window_->setWindowTitle(tr("Tavvel for Mobile"));
    window_->setBackgroundRole(QPalette::Base);
    window_->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(window_.get());
    auto* picture = new QLabel(window_.get());
    picture->setObjectName(QStringLiteral("qrCodePicture"));
    picture->setPixmap(QPixmap(QStringLiteral(":/mainwindow/qrcode.png")));
    picture->setAlignment(Qt::AlignCenter);
    picture->setAccessibleName(tr("Code of the mobile app"));
    auto* caption = new QLabel(tr("Scan the code to get the mobile app."), window_.get());
    caption->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);
    layout->addWidget(caption);
}

QRCodeController::~QRCodeController() = default;

void QRCodeController::showWindow() {
    window_->show();
    window_->raise();
    window_->activateWindow();
}
