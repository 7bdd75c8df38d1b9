#include "player/UpgradeWindowController.h"

#include "platform/gui/OpenUrl.h"
#include "views/ButtonWithHoverBackGround.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QTextCursor>
#include <QTextList>
#include <QVBoxLayout>

QVariant UpgradeNotesView::loadResource(int, const QUrl&) {
    return {};
}

UpgradeWindow::UpgradeWindow(UpgradeWindowController* controller)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), controller_(controller) {
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void UpgradeWindow::openUpdate() {
    if (controller_ && controller_->upgradeInfo) {
        const QUrl url(controller_->upgradeInfo->url, QUrl::StrictMode);
        if (UpgradeWindowController::isOpenableAddress(url))
            QDesktopServices::openUrl(url);
    }
    close();
}

void UpgradeWindow::performClose() {
    close();
}

void UpgradeWindow::paintEvent(QPaintEvent*) {
    // The window's background picture.
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, QColor(0x2b, 0x5f, 0xd9));
    gradient.setColorAt(0.35, QColor(0xf4, 0xf7, 0xfd));
    gradient.setColorAt(1.0, QColor(0xff, 0xff, 0xff));
    painter.fillRect(rect(), gradient);
}

UpgradeWindowController::UpgradeWindowController() = default;

UpgradeWindowController::~UpgradeWindowController() {
    if (window_)
        window_->deleteLater();
}

bool UpgradeWindowController::isOpenableAddress(const QUrl& url) {
    return platform::isWebAddress(url);
}

UpgradeWindow* UpgradeWindowController::window() {
    if (!window_) {
        window_ = new UpgradeWindow(this);
        window_->setWindowTitle(tr("New Version Available"));
        window_->resize(460, 340);

        auto* notes = new UpgradeNotesView(window_);
        notes->setOpenLinks(false);
        notes->setFrameShape(QFrame::NoFrame);
        notes->viewport()->setAutoFillBackground(false);
        notes->setStyleSheet(QStringLiteral("background: transparent;"));
        infoLabel_ = notes;

        auto* button = new ButtonWithHoverBackGround(tr("Upgrade"), window_);
        button->setMinimumSize(140, 34);
        button->setNormalColor(QColor(0x2b, 0x5f, 0xd9));
        button->setHoverColor(QColor(0x3d, 0x72, 0xf0));
        button->setPressedColor(QColor(0x1f, 0x4a, 0xb0));
        button->setTitleColor(Qt::white);
        upgradeButton_ = button;
        QObject::connect(button, &QPushButton::clicked, window_.data(), &UpgradeWindow::openUpdate);

        auto* layout = new QVBoxLayout(window_);
        layout->setContentsMargins(28, 56, 28, 22);
        layout->addWidget(notes, 1);
        auto* row = new QHBoxLayout;
        row->addStretch();
        row->addWidget(button);
        row->addStretch();
        layout->addLayout(row);
        windowDidLoad();
    }
    return window_;
}

void UpgradeWindowController::windowDidLoad() {
    QTextBrowser* notes = infoLabel_;
    if (upgradeInfo) {
        QTextCursor cursor(notes->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertHtml(upgradeInfo->exp);
    } else {
        notes->setPlainText(QString());
    }
    // The version line follows the notes, in a paragraph of its own.
    QTextCursor cursor(notes->document());
    cursor.movePosition(QTextCursor::End);
    // A plain paragraph of its own: not part of a list or a style the notes end with.
    QTextBlockFormat paragraph;
    if (!notes->document()->isEmpty()) {
        paragraph.setTopMargin(12);
        cursor.insertBlock(paragraph, QTextCharFormat());
        if (QTextList* list = cursor.currentList())
            list->remove(cursor.block());
        cursor.setBlockFormat(paragraph);
    }
    cursor.insertText(tr("Version: %1").arg(upgradeInfo ? upgradeInfo->ver : QStringLiteral("1.0")), QTextCharFormat());
}

void UpgradeWindowController::showWindow() {
    UpgradeWindow* w = window();
    w->show();
    w->raise();
    w->activateWindow();
}

void UpgradeWindowController::close() {
    if (window_)
        window_->close();
}
