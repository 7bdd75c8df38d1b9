#pragma once
#include "shared/Disposable.h"
#include "views/Activation.h"

#include <QColor>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <optional>

class Preferences;
class QLabel;
class SwitchButton;

// One entry of the left menu bar: icon, title and (for the video entry) the wallpaper switch.
// A click or Space / Return flips the cell's state and calls `selectedClosure`; the bar then
// selects the cell for good.
class LeftMenuCell : public QWidget {
    Q_OBJECT
public:
    // The switch shows and flips the open flag of `preferences`.
    LeftMenuCell(const QRect& frame, std::function<void()> selectedClosure, Preferences& preferences,
                 QWidget* parent = nullptr);

    // The sidebar's background: the bar and the title labels of cells not yet styled.
    static QColor sideBarColor();

    std::function<void()> selectedClosure;
    QLabel* imageView = nullptr;
    QLabel* titleLabel = nullptr;
    SwitchButton* rightButton = nullptr;
    std::optional<QPixmap> normalImage;
    std::optional<QPixmap> selectedImage;
    QColor titleNormalColor = Qt::white;
    QColor titleSelectedColor{52, 155, 255};
    QColor labelNormalColor = Qt::transparent;
    QColor labelSelectedColor;
    DisposablePtr observeDispose;

    bool isSelected() const { return isSelected_; }
    void setSelected(bool selected);
    // The title and the cell's accessible name.
    void setTitle(const QString& title);
    void clickCellAction();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyAppearance();

    Preferences& preferences_;

    bool isSelected_ = false;
    ClickTracker click_;
};
