#include "MainWindow/pages/AboutViewController.h"

#include "MainWindow/pages/FeedbackWindowController.h"
#include "platform/gui/OpenUrl.h"
#include "service/WebModel.h"
#include "shared/AppInfo.h"
#include "views/Assets.h"
#include "views/ButtonWithLinkTitle.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// Blue, underlined, flat: the look of a link.
void styleAsLink(ButtonWithLinkTitle* button, const QString& title) {
    button->setText(title);
    button->setFlat(true);
    QFont font = button->font();
    font.setUnderline(true);
    button->setFont(font);
    button->setStyleSheet(
        QStringLiteral("QPushButton { color: palette(link); border: none; background: transparent; }"
                       "QPushButton:focus { outline: 1px dotted palette(link); }"));
}
}  // namespace

AboutViewController::AboutViewController(WebModel& service, QObject* parent) : QObject(parent), service_(&service) {
    view_ = new QWidget;
    view_->setObjectName(QStringLiteral("aboutView"));
    view_->setAttribute(Qt::WA_StyledBackground);

    auto* logo = new QLabel(view_);
    logo->setObjectName(QStringLiteral("aboutLogo"));
    logo->setPixmap(assetImage(QStringLiteral("leftPanel_icon_tavvel"))
                        .scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    logo->setAlignment(Qt::AlignCenter);
    auto* name = new QLabel(QStringLiteral("Tavvel"), view_);
    QFont big = name->font();
    big.setPixelSize(26);
    big.setBold(true);
    name->setFont(big);
    name->setAlignment(Qt::AlignCenter);

    websiteButton = new ButtonWithLinkTitle(QString(), view_);
    websiteButton->setObjectName(QStringLiteral("websiteButton"));
    styleAsLink(websiteButton, AppInfo::website().toString());
    connect(websiteButton, &QPushButton::clicked, this, &AboutViewController::websiteButtonAction);

    versionLabel = new QLabel(view_);
    versionLabel->setObjectName(QStringLiteral("versionLabel"));
    versionLabel->setAlignment(Qt::AlignCenter);
    versionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    versionLabel->setText(version());

    termsAndConditions = new ButtonWithLinkTitle(QString(), view_);
    termsAndConditions->setObjectName(QStringLiteral("termsAndConditions"));
    styleAsLink(termsAndConditions, tr("Terms and Conditions"));
    connect(termsAndConditions, &QPushButton::clicked, this, &AboutViewController::showTermsAndConditions);

    feedbackButton = new QPushButton(tr("Feedback"), view_);
    feedbackButton->setObjectName(QStringLiteral("feedbackButton"));
    connect(feedbackButton, &QPushButton::clicked, this, &AboutViewController::feedbackButtonAction);

    auto* layout = new QVBoxLayout(view_);
    layout->addStretch(2);
    layout->addWidget(logo);
    layout->addWidget(name);
    layout->addSpacing(8);
    for (QWidget* w : {static_cast<QWidget*>(websiteButton), static_cast<QWidget*>(versionLabel),
                       static_cast<QWidget*>(termsAndConditions)})
        layout->addWidget(w, 0, Qt::AlignHCenter);
    layout->addSpacing(16);
    layout->addWidget(feedbackButton, 0, Qt::AlignHCenter);
    layout->addStretch(3);
    view_->hide();
}

AboutViewController::~AboutViewController() {
    delete view_.data();
}

const QString& AboutViewController::version() {
    if (version_.isEmpty())
        version_ = tr("Version: %1").arg(AppInfo::versionWithBuild());
    return version_;
}

void AboutViewController::websiteButtonAction() {
    platform::openWebAddress(AppInfo::website());
}

void AboutViewController::showTermsAndConditions() {
    platform::openWebAddress(AppInfo::termsPage());
}

void AboutViewController::feedbackButtonAction() {
    if (!feedback_)
        feedback_ = std::make_unique<FeedbackWindowController>(*service_);
    feedback_->showWindow();
    feedback_->resetFeedbackForm();
}
