#include "MainWindow/library/FooterView.h"

#include <QHBoxLayout>
#include <QLabel>

FooterView::FooterView(QWidget* parent) : QWidget(parent), titleLabel(new QLabel(this)) {
    setObjectName(QStringLiteral("FooterView"));
    titleLabel->setObjectName(QStringLiteral("footerTitle"));
    titleLabel->setAlignment(Qt::AlignCenter);
    titleLabel->setTextInteractionFlags(Qt::NoTextInteraction);
    QPalette grey = titleLabel->palette();
    grey.setColor(QPalette::WindowText, QColor(Qt::gray));
    titleLabel->setPalette(grey);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(titleLabel);
}
