#pragma once
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <optional>

class QUrl;

// The popup's panel: a rounded rectangle in the window colour. Accessibility sees it as a
// vertical list whose items are the rows.
class RoundedCornersView : public QWidget {
    Q_OBJECT
public:
    explicit RoundedCornersView(QWidget* parent = nullptr);
    qreal rcvCornerRadius() const { return rcvCornerRadius_; }
    void setRcvCornerRadius(qreal radius) { rcvCornerRadius_ = radius; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal rcvCornerRadius_ = 5.0;
};

// A label that shows its text in the highlighted-text colour on the dark (highlighted) style.
class SuggestibleTextFieldCell : public QLabel {
    Q_OBJECT
public:
    enum class BackgroundStyle { Light = 0, Dark = 1 };
    explicit SuggestibleTextFieldCell(QWidget* parent = nullptr);
    BackgroundStyle backgroundStyle() const { return style_; }
    void setBackgroundStyle(BackgroundStyle style);

private:
    BackgroundStyle style_ = BackgroundStyle::Light;
};

// The top view of a normal row: paints the selection colour behind the row while highlighted.
// Accessibility sees it as a list item named by its text.
class HighlightingView : public QWidget {
    Q_OBJECT
public:
    explicit HighlightingView(QWidget* parent = nullptr);
    bool isHighlighted() const { return isHighlighted_; }
    // Does not repaint by itself; whoever sets it calls update().
    void setHighlighted(bool highlighted) { isHighlighted_ = highlighted; }

signals:
    void entered();
    void exited();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool isHighlighted_ = false;
};

// A normal row: a HighlightingView with an optional 24-point thumbnail and the row's text.
class SuggestionRowView : public HighlightingView {
    Q_OBJECT
public:
    static constexpr int rowHeight = 26;
    explicit SuggestionRowView(const QString& text, QWidget* parent = nullptr);
    SuggestibleTextFieldCell* textField() const { return text_; }
    void setThumbnail(const QImage& image);

private:
    QLabel* icon_;
    SuggestibleTextFieldCell* text_;
};

// A section header: its title at the left and a right button that runs `actionClosure`.
class SuggestionHeaderViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr int rowHeight = 28;
    explicit SuggestionHeaderViewController(const QString& title, QWidget* parent = nullptr);
    std::function<void()> actionClosure;
    QPushButton* rightButton() const { return rightButton_; }
    void rightButtonClick();

private:
    QLabel* title_;
    QPushButton* rightButton_;
};

// A thin line between sections.
class SuggestionSeparator : public QWidget {
    Q_OBJECT
public:
    static constexpr int rowHeight = 9;
    explicit SuggestionSeparator(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A picture `width` points wide from a local image file, keeping its aspect ratio; its
// "Description" text names the file without its extension. Safe off the main thread.
std::optional<QImage> thumbnailImage(const std::optional<QUrl>& url, qreal width);

// Lets accessibility tools see the popup as a list of list items (once per process).
void installSuggestionAccessibility();
