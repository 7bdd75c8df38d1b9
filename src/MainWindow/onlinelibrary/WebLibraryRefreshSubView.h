#pragma once
#include <QPointer>
#include <QWidget>
#include <functional>

class QLabel;
class ButtonWithLinkTitle;

// The overlay of the online list: one title line and a refresh group (a subtitle, the refresh
// button and a second subtitle) that shows as a whole when the user may ask again.
class WebLibraryRefreshSubView : public QWidget {
    Q_OBJECT
public:
    explicit WebLibraryRefreshSubView(QWidget* parent = nullptr);

    QLabel* titleLabel = nullptr;
    QLabel* leftSubTitle = nullptr;
    ButtonWithLinkTitle* refreshButton = nullptr;
    QLabel* rightSubTitle = nullptr;
    std::function<void()> refreshClosure;

    QString title() const { return title_; }
    void setTitle(const QString& title);
    bool showRefreshButton() const { return showRefreshButton_; }
    void setShowRefreshButton(bool show);

public slots:
    void clickRefreshButton();

private:
    QString title_;
    bool showRefreshButton_ = false;
};
