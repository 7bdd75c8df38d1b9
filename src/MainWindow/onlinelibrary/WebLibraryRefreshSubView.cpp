#include "MainWindow/onlinelibrary/WebLibraryRefreshSubView.h"

#include "shared/TextHelpers.h"
#include "views/ButtonWithLinkTitle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

WebLibraryRefreshSubView::WebLibraryRefreshSubView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("webLibraryRefreshSubView"));
    titleLabel = new QLabel(this);
    titleLabel->setObjectName(QStringLiteral("refreshTitleLabel"));
    titleLabel->setAlignment(Qt::AlignCenter);
    QFont titleFont = titleLabel->font();
    titleFont.setPixelSize(16);
    titleLabel->setFont(titleFont);

    leftSubTitle = new QLabel(localizedString("Please", "refresh hint before the button"), this);
    leftSubTitle->setObjectName(QStringLiteral("refreshLeftSubTitle"));
    refreshButton = new ButtonWithLinkTitle(localizedString("refresh", "refresh button"), this);
    refreshButton->setObjectName(QStringLiteral("refreshButton"));
    refreshButton->setAccessibleName(localizedString("Refresh", "refresh button"));
    refreshButton->setFlat(true);
    QPalette linkPalette = refreshButton->palette();
    linkPalette.setColor(QPalette::ButtonText, QColor(52, 155, 255));
    refreshButton->setPalette(linkPalette);
    rightSubTitle = new QLabel(localizedString("to try again", "refresh hint after the button"), this);
    rightSubTitle->setObjectName(QStringLiteral("refreshRightSubTitle"));
    connect(refreshButton, &QPushButton::clicked, this, &WebLibraryRefreshSubView::clickRefreshButton);

    auto* group = new QHBoxLayout;
    group->setSpacing(2);
    group->addStretch();
    group->addWidget(leftSubTitle);
    group->addWidget(refreshButton);
    group->addWidget(rightSubTitle);
    group->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(titleLabel);
    layout->addLayout(group);
    setShowRefreshButton(false);
}

void WebLibraryRefreshSubView::setTitle(const QString& title) {
    title_ = title;
    titleLabel->setText(title);
    titleLabel->setAccessibleName(title);
}

void WebLibraryRefreshSubView::setShowRefreshButton(bool show) {
    showRefreshButton_ = show;
    leftSubTitle->setHidden(!show);
    rightSubTitle->setHidden(!show);
    refreshButton->setHidden(!show);
}

void WebLibraryRefreshSubView::clickRefreshButton() {
    if (refreshClosure)
        refreshClosure();
}
