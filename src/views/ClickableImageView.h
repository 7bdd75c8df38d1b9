#pragma once
#include <QLabel>
#include <QPixmap>
#include <functional>
#include <optional>

// An image that acts as a button: it swaps its image while the mouse is over it, shows the
// pointing hand and runs `clickAction` on mouse-up.
class ClickableImageView : public QLabel {
    Q_OBJECT
    Q_PROPERTY(bool changeCurser READ changeCurser WRITE setChangeCurser)
public:
    // Made by a form: no hover tracking until awakeFromNib.
    explicit ClickableImageView(QWidget* parent = nullptr);
    // Made in code from a frame: tracks the mouse over that frame at once.
    ClickableImageView(const QRect& frame, QWidget* parent);

    bool changeCurser() const { return changeCurser_; }
    void setChangeCurser(bool change);

    std::function<void()> clickAction;
    std::optional<QPixmap> normalImage;
    std::optional<QPixmap> hoverImage;

    void awakeFromNib();
    // Hover tracking areas; each showing after a hiding adds one, a hiding removes all.
    int trackingAreaCount() const { return trackingAreas_; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void resetCursorRects();

    bool changeCurser_ = true;
    int trackingAreas_ = 0;
    bool hiddenSinceShown_ = false;
};
