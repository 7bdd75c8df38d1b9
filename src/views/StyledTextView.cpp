#include "views/StyledTextView.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFontMetrics>
#include <cmath>

QColor systemColor(SystemColor role, const QPalette& palette) {
    switch (role) {
    case SystemColor::Blue: return palette.color(QPalette::Link);
    case SystemColor::Red: return QColor(0xff, 0x3b, 0x30);
    case SystemColor::Label: break;
    }
    return palette.color(QPalette::WindowText);
}

QFont styledFont(const StyledText& styled, const QFont& base) {
    QFont font = base;
    if (styled.pointSize && *styled.pointSize > 0)
        font.setPointSizeF(*styled.pointSize);
    font.setUnderline(styled.underline);
    return font;
}

void applyStyledTitle(QAbstractButton* button, const StyledText& styled) {
    button->setFont(styledFont(styled, button->font()));
    if (styled.color) {
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, systemColor(*styled.color, palette));
        button->setPalette(palette);
    }
    button->setText(styled.text);
}

StyledTextLabel::StyledTextLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

StyledTextLabel::StyledTextLabel(const StyledText& styled, QWidget* parent) : StyledTextLabel(parent) {
    setStyledText(styled);
}

void StyledTextLabel::setStyledText(const StyledText& styled) {
    styled_ = styled;
    setFont(styledFont(styled_, font()));
    if (styled_.alignment)
        setAlignment(*styled_.alignment);
    applyColour();
    refit();
    updateGeometry();
}

void StyledTextLabel::applyColour() {
    if (!styled_.color)
        return;
    // Resolved from the palette the label inherits, so a theme change recolours it.
    applyingColour_ = true;
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, systemColor(*styled_.color, palette));
    setPalette(palette);
    applyingColour_ = false;
}

void StyledTextLabel::refit() {
    const int room = contentsRect().width() - 2 * margin();
    const QString shown = styled_.elideTail ? fontMetrics().elidedText(styled_.text, Qt::ElideRight, room)
                                            : styled_.text;
    if (text() != shown)
        setText(shown);
    setToolTip(shown == styled_.text ? QString() : styled_.text);
}

QSize StyledTextLabel::sizeHint() const {
    const QFontMetricsF metrics(font());
    const QMargins m = contentsMargins();
    return {int(std::ceil(metrics.horizontalAdvance(styled_.text))) + m.left() + m.right() + 2 * margin(),
            int(std::ceil(metrics.height())) + m.top() + m.bottom() + 2 * margin()};
}

QSize StyledTextLabel::minimumSizeHint() const {
    if (!styled_.elideTail)
        return sizeHint();
    return {fontMetrics().horizontalAdvance(QStringLiteral("…")), sizeHint().height()};
}

void StyledTextLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    refit();
}

void StyledTextLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !applyingColour_)
        applyColour();
    else if (event->type() == QEvent::FontChange)
        refit();
}
