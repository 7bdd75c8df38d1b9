#include "MainWindow/pages/FeedbackWindowController.h"

#include "service/WebModel.h"
#include "views/Activation.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

FeedbackWindowController::FeedbackWindowController(WebModel& service, QObject* parent)
    : QObject(parent), service_(&service) {
    window_ = makeCloseOnlyWindow(nibName, tr("Feedback"));

    suggestionButton = new QRadioButton(tr("Suggestion"), window_);
    suggestionButton->setObjectName(QStringLiteral("suggestionButton"));
    bugButton = new QRadioButton(tr("Bug report"), window_);
    bugButton->setObjectName(QStringLiteral("bugButton"));
    typeGroup_ = new QButtonGroup(window_);
    typeGroup_->addButton(suggestionButton, suggestionType);
    typeGroup_->addButton(bugButton, bugType);
    connect(typeGroup_, &QButtonGroup::idClicked, this, &FeedbackWindowController::typeButtonAction);
    suggestionButton->setChecked(true);

    auto* messageLabel = new QLabel(tr("Message:"), window_);
    contentTextView = new QPlainTextEdit(window_);
    contentTextView->setObjectName(QStringLiteral("contentTextView"));
    contentTextView->setAccessibleName(tr("Message"));
    contentTextView->setTabChangesFocus(true);
    messageLabel->setBuddy(contentTextView);
    auto* contactLabel = new QLabel(tr("Contact (optional):"), window_);
    contactTextField = new QLineEdit(window_);
    contactTextField->setObjectName(QStringLiteral("contactTextField"));
    contactTextField->setAccessibleName(tr("Contact"));
    contactTextField->setPlaceholderText(tr("E-mail address"));
    contactLabel->setBuddy(contactTextField);
    submitButton = new QPushButton(tr("Send"), window_);
    submitButton->setObjectName(QStringLiteral("submitButton"));
    submitButton->setDefault(true);
    connect(submitButton, &QPushButton::clicked, this, &FeedbackWindowController::submitFeedback);

    auto* layout = new QVBoxLayout(window_);
    auto* types = new QHBoxLayout;
    types->addWidget(suggestionButton);
    types->addWidget(bugButton);
    types->addStretch(1);
    layout->addLayout(types);
    layout->addWidget(messageLabel);
    layout->addWidget(contentTextView, 1);
    layout->addWidget(contactLabel);
    layout->addWidget(contactTextField);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(submitButton);
    layout->addLayout(buttons);
    window_->resize(440, 340);
}

FeedbackWindowController::~FeedbackWindowController() {
    delete window_;
}

void FeedbackWindowController::showWindow() {
    bringToFront(window_);
}

void FeedbackWindowController::typeButtonAction(int tag) {
    type_ = tag;
}

void FeedbackWindowController::submitFeedback() {
    const QString content = contentTextView->toPlainText();
    // Not trimmed: a message of spaces is still a message.
    if (content.isEmpty()) {
        setMarked(true);
        return;
    }
    if (service_)
        service_->sendFeedback(type_, content, contactTextField->text());
    window_->close();
}

void FeedbackWindowController::resetFeedbackForm() {
    contentTextView->setPlainText(QString());
    contactTextField->setText(QString());
    setMarked(false);
    suggestionButton->setChecked(true);
    // The type sent is the one the form shows.
    type_ = suggestionType;
}

void FeedbackWindowController::setMarked(bool marked) {
    marked_ = marked;
    contentTextView->setStyleSheet(marked ? QStringLiteral("QPlainTextEdit { border: 1px solid red; }") : QString());
}
