#pragma once
#include <QObject>
#include <QPointer>

class QButtonGroup;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QWidget;
class WebModel;

// The feedback form: a message, an optional contact and the choice of suggestion or bug
// report, sent to the web service. Made once by the about page and reset at every opening.
class FeedbackWindowController : public QObject {
    Q_OBJECT
public:
    static inline const QString nibName = QStringLiteral("FeedbackWindowController");
    // The type numbers sent with the feedback; each radio's tag.
    static constexpr int suggestionType = 2;
    static constexpr int bugType = 1;

    explicit FeedbackWindowController(WebModel& service, QObject* parent = nullptr);
    ~FeedbackWindowController() override;

    QWidget* window() const { return window_; }
    void showWindow();

    int type() const { return type_; }
    // The radios' action.
    void typeButtonAction(int tag);
    void submitFeedback();
    // Empty fields, no red mark, the suggestion type chosen and sent.
    void resetFeedbackForm();
    // True while the message field carries the red mark of an empty message.
    bool isMessageMarked() const { return marked_; }

    QLineEdit* contactTextField = nullptr;
    QPlainTextEdit* contentTextView = nullptr;
    QRadioButton* suggestionButton = nullptr;
    QRadioButton* bugButton = nullptr;
    QPushButton* submitButton = nullptr;

private:
    void setMarked(bool marked);

    QPointer<WebModel> service_;
    QWidget* window_ = nullptr;
    QButtonGroup* typeGroup_ = nullptr;
    int type_ = suggestionType;
    bool marked_ = false;
};
