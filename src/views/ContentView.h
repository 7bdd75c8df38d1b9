#pragma once
#include <QWidget>

// A plain view that, when it paints its own background, keeps it in the system's text
// background colour; the colour is taken again at every layout pass.
class ContentView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

protected:
    void resizeEvent(QResizeEvent* event) override;
};
