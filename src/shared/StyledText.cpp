#include "shared/StyledText.h"

#define TAVVEL_COLOR(name, r, g, b)         \
    const QColor& name() {                  \
        static const QColor color(r, g, b); \
        return color;                       \
    }

TAVVEL_COLOR(blueNormalColor, 52, 155, 255)
TAVVEL_COLOR(blueHoverColor, 74, 168, 255)
TAVVEL_COLOR(bluePressedColor, 7, 136, 255)
TAVVEL_COLOR(greenNormalColor, 39, 215, 110)
TAVVEL_COLOR(greenHoverColor, 58, 231, 128)
TAVVEL_COLOR(greenPressedColor, 26, 195, 94)
TAVVEL_COLOR(selectionGrayColor, 217, 217, 217)

#undef TAVVEL_COLOR

StyledText styledAttributedString(const QString& text, SystemColor color) {
    StyledText styled;
    styled.text = text;
    styled.color = color;
    styled.pointSize = 13.0;
    styled.elideTail = true;
    return styled;
}

StyledText blueAttributedString(const QString& text) {
    return styledAttributedString(text, SystemColor::Blue);
}

StyledText redAttributedString(const QString& text) {
    return styledAttributedString(text, SystemColor::Red);
}

StyledText linkAttributedString(const QString& text) {
    StyledText styled = blueAttributedString(text);
    styled.underline = true;
    styled.underlineColor = SystemColor::Blue;
    return styled;
}
