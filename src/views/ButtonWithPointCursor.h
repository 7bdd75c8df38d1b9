#pragma once
#include <QPushButton>

// A push button that shows the pointing-hand cursor over its whole area.
class ButtonWithPointCursor : public QPushButton {
    Q_OBJECT
public:
    explicit ButtonWithPointCursor(QWidget* parent = nullptr);
    explicit ButtonWithPointCursor(const QString& text, QWidget* parent = nullptr);
};
