#pragma once
#include <QColor>
#include <QString>
#include <Qt>
#include <optional>

// Colours that follow the desktop's palette; the widget that shows a styled text resolves them.
enum class SystemColor { Blue, Red, Label };

// An attributed text as plain data: the widgets apply it when they show it, so this library
// stays free of widgets.
struct StyledText {
    QString text;
    std::optional<SystemColor> color;  // foreground
    std::optional<qreal> pointSize;    // none: the widget's own font applies
    bool elideTail = false;            // cut with an ellipsis at the end when too long
    bool underline = false;
    std::optional<SystemColor> underlineColor;
    std::optional<Qt::Alignment> alignment;  // none: the widget's own alignment applies
};

// The fixed palette of the main program's action buttons and selection background.
const QColor& blueNormalColor();
const QColor& blueHoverColor();
const QColor& bluePressedColor();
const QColor& greenNormalColor();
const QColor& greenHoverColor();
const QColor& greenPressedColor();
const QColor& selectionGrayColor();

// Tail-eliding text in a system colour at the system font of size 13.
StyledText styledAttributedString(const QString& text, SystemColor color);
StyledText blueAttributedString(const QString& text);
StyledText redAttributedString(const QString& text);
// Blue styled text with a single underline in the system blue.
StyledText linkAttributedString(const QString& text);
