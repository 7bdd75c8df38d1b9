#include "views/ContentView.h"

#include <QPalette>

void ContentView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The view does not turn its own background on; it only colours one that is there.
    if (autoFillBackground()) {
        QPalette p = palette();
        p.setColor(QPalette::Window, p.color(QPalette::Base));
        setPalette(p);
    }
}
