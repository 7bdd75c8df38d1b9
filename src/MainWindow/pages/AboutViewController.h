#pragma once
#include <QObject>
#include <QPointer>
#include <memory>

class ButtonWithLinkTitle;
class FeedbackWindowController;
class QLabel;
class QPushButton;
class QWidget;
class WebModel;

// The main window's second content: the web site link, the version, the terms link and the
// button that opens the feedback form.
class AboutViewController : public QObject {
    Q_OBJECT
public:
    static inline const QString nibName = QStringLiteral("AboutViewController");

    // `service` is handed to the feedback form.
    explicit AboutViewController(WebModel& service, QObject* parent = nullptr);
    ~AboutViewController() override;

    // Starts hidden; the main window places and shows it.
    QWidget* view() const { return view_; }

    // "Version: <version with build>", made once.
    const QString& version();

    void websiteButtonAction();
    void showTermsAndConditions();
    // Shows the one feedback form, in front and emptied.
    void feedbackButtonAction();
    FeedbackWindowController* feedback() const { return feedback_.get(); }

    ButtonWithLinkTitle* websiteButton = nullptr;
    QLabel* versionLabel = nullptr;
    ButtonWithLinkTitle* termsAndConditions = nullptr;
    QPushButton* feedbackButton = nullptr;

private:
    QPointer<WebModel> service_;
    QPointer<QWidget> view_;
    std::unique_ptr<FeedbackWindowController> feedback_;
    QString version_;
};
