#include "views/ButtonWithPointCursor.h"

ButtonWithPointCursor::ButtonWithPointCursor(QWidget* parent) : ButtonWithPointCursor(QString(), parent) {}

ButtonWithPointCursor::ButtonWithPointCursor(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    // The widget's own cursor covers exactly its bounds and follows every resize.
    setCursor(Qt::PointingHandCursor);
}
