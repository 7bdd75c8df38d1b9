#pragma once
#include "views/Activation.h"

#include <QLabel>
#include <QPixmap>
#include <functional>
#include <optional>

// An image that acts as a button: it swaps its image while the mouse is over it, shows the
// pointing hand and runs `clickAction` when a left-button press inside it is released inside
// it, or on Space / Return while it has the focus (its owner gives it a focus policy). Other
// buttons pass through to the parent (its context menu, say).
class ClickableImageView : public QLabel {
    Q_OBJECT
    Q_PROPERTY(bool changeCurser READ changeCurser WRITE setChangeCurser)
public:
    // Either way it tracks the mouse from construction.
    explicit ClickableImageView(QWidget* parent = nullptr);
    ClickableImageView(const QRect& frame, QWidget* parent);

    bool changeCurser() const { return changeCurser_; }
    void setChangeCurser(bool change);

    std::function<void()> clickAction;
    std::optional<QPixmap> normalImage;
    std::optional<QPixmap> hoverImage;

    // Hover tracking areas; each showing after a hiding adds one, a hiding removes all.
    int trackingAreaCount() const { return trackingAreas_; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void resetCursorRects();

    bool changeCurser_ = true;
    int trackingAreas_ = 1;
    bool hiddenSinceShown_ = false;
    ClickTracker click_;
};
