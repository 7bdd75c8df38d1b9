#pragma once
#include "shared/StyledText.h"
#include "views/ButtonWithPointCursor.h"

#include <QSizeF>
#include <optional>

// A link-like button that sizes itself from its title; a title too long for the button is
// truncated at its tail. A styled title (a link's blue underlined text, say) is drawn by the
// button itself: colour role from its palette, font size, underline, alignment, elision.
class ButtonWithLinkTitle : public ButtonWithPointCursor {
    Q_OBJECT
    Q_PROPERTY(qreal horizontalMargin READ horizontalMargin WRITE setHorizontalMargin)
    Q_PROPERTY(qreal verticalMargin READ verticalMargin WRITE setVerticalMargin)
public:
    explicit ButtonWithLinkTitle(const QString& text = QString(), QWidget* parent = nullptr);

    // Makes `styled` the title; the size follows its font. A plain setText keeps the style.
    void setStyledTitle(const StyledText& styled);
    const std::optional<StyledText>& styledTitle() const { return styled_; }

    qreal horizontalMargin() const { return horizontalMargin_; }
    void setHorizontalMargin(qreal value) { horizontalMargin_ = value; }
    qreal verticalMargin() const { return verticalMargin_; }
    void setVerticalMargin(qreal value);

    // The natural size for a title that measures `titleSize`: 1.2 times its width, its height plus
    // the vertical margin on both sides. The horizontal margin does not enter it.
    static QSizeF naturalSize(const QSizeF& titleSize, qreal verticalMargin);
    // The title's measured size (with the font's leading), asked afresh every time.
    QSizeF measuredTitleSize() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<StyledText> styled_;
    qreal horizontalMargin_ = 3.0;
    qreal verticalMargin_ = 0.0;
};
