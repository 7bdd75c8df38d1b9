#pragma once
#include "views/ButtonWithPointCursor.h"

#include <QColor>
#include <QUrl>
#include <optional>

// A borderless link-like text button drawn in one of three colours: normal, while the pointer
// is over it and while it is pressed, in the system font of `fontSize`, centred. A disabled
// button keeps its colour. `link` is for the owner's action; the button never reads it.
class ButtonWithColorfulLink : public ButtonWithPointCursor {
    Q_OBJECT
    Q_PROPERTY(QColor titleColor READ titleColor WRITE setTitleColor)
    Q_PROPERTY(QColor titleHoverColor READ titleHoverColorOrInvalid WRITE setTitleHoverColor)
    Q_PROPERTY(QColor titlePressedColor READ titlePressedColorOrInvalid WRITE setTitlePressedColor)
public:
    explicit ButtonWithColorfulLink(const QString& text = QString(), QWidget* parent = nullptr);

    QColor titleColor() const { return titleColor_; }
    void setTitleColor(const QColor& color);
    std::optional<QColor> titleHoverColor() const { return titleHoverColor_; }
    void setTitleHoverColor(const std::optional<QColor>& color) { titleHoverColor_ = color; }
    void setTitleHoverColor(const QColor& color);
    std::optional<QColor> titlePressedColor() const { return titlePressedColor_; }
    void setTitlePressedColor(const std::optional<QColor>& color) { titlePressedColor_ = color; }
    void setTitlePressedColor(const QColor& color);
    qreal fontSize() const { return fontSize_; }
    void setFontSize(qreal size);
    std::optional<QUrl> link;

    // Redraws the current title in `color`, centred, in the system font of `fontSize`.
    virtual void applyTitleColor(const QColor& color);
    // The colour the title is drawn in now.
    QColor shownColor() const { return shown_; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QColor titleHoverColorOrInvalid() const { return titleHoverColor_.value_or(QColor()); }
    QColor titlePressedColorOrInvalid() const { return titlePressedColor_.value_or(QColor()); }

    QColor titleColor_;
    std::optional<QColor> titleHoverColor_;
    std::optional<QColor> titlePressedColor_;
    qreal fontSize_ = 14.0;
    QColor shown_;
};
