#pragma once
#include "shared/StyledText.h"

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>

class QAbstractButton;

// The colour a role stands for under `palette`: blue is the palette's link colour, the label
// colour its window text; red has no palette role and is a fixed system red.
QColor systemColor(SystemColor role, const QPalette& palette);
// `base` with the styled text's point size and underline.
QFont styledFont(const StyledText& styled, const QFont& base);

// Gives a button the styled text's title, font and colour (the style draws it: no elision or
// alignment; ButtonWithLinkTitle draws those itself).
void applyStyledTitle(QAbstractButton* button, const StyledText& styled);

// A label that shows a StyledText: colour role resolved against its own palette (again when the
// palette changes), font size, underline, alignment, and the tail cut with an ellipsis whenever
// the label is narrower than the text.
class StyledTextLabel : public QLabel {
    Q_OBJECT
public:
    explicit StyledTextLabel(QWidget* parent = nullptr);
    explicit StyledTextLabel(const StyledText& styled, QWidget* parent = nullptr);

    void setStyledText(const StyledText& styled);
    const StyledText& styledText() const { return styled_; }

    // The whole text's size; an eliding label may be made as narrow as its ellipsis.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyColour();
    void refit();

    StyledText styled_;
    bool applyingColour_ = false;
};
