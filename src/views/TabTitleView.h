#pragma once
#include <QColor>
#include <QWidget>

// The header of one library tab: a 3-pixel bar in the accent colour along its bottom edge
// while highlighted. Setting `highlight` does not repaint; the owner asks for that.
class TabTitleView : public QWidget {
    Q_OBJECT
public:
    explicit TabTitleView(QWidget* parent = nullptr);

    bool highlight = false;

    // The bar's colour: the system's accent (selection) colour.
    QColor accentColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
