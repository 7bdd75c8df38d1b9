#include "MainWindow/window/LeftMenuCell.h"

#include "shared/Preferences.h"
#include "views/SwitchButton.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace {
QString labelStyle(const QColor& text, const QColor& background) {
    return QStringLiteral("QLabel { color: %1; background-color: %2; }")
        .arg(text.name(QColor::HexArgb), background.name(QColor::HexArgb));
}
}  // namespace

QColor LeftMenuCell::sideBarColor() {
    return {68, 88, 107};
}

LeftMenuCell::LeftMenuCell(const QRect& frame, std::function<void()> closure, Preferences& preferences, QWidget* parent)
    : QWidget(parent), selectedClosure(std::move(closure)), preferences_(preferences) {
    setGeometry(frame);
    labelSelectedColor = QApplication::palette().color(QPalette::Base);

    // Frames measured from the cell's top, for a cell 36 high.
    imageView = new QLabel(this);
    imageView->setObjectName(QStringLiteral("cellIcon"));
    imageView->setGeometry(20, 9, 18, 18);
    imageView->setScaledContents(true);

    titleLabel = new QLabel(this);
    titleLabel->setObjectName(QStringLiteral("cellTitle"));
    titleLabel->setGeometry(43, 8, 110, 22);
    QFont font = titleLabel->font();
    font.setPixelSize(16);
    titleLabel->setFont(font);
    titleLabel->setStyleSheet(labelStyle(Qt::white, sideBarColor()));

    rightButton = new SwitchButton(
        QRect(120, 8, 36, 18), [this](bool) { preferences_.setIsOpenPlayer(!preferences_.isOpenPlayer()); }, this);
    rightButton->setObjectName(QStringLiteral("videoDesktopSwitch"));
    rightButton->setAccessibleName(tr("Video wallpaper"));
    rightButton->setIsOpen(preferences_.isOpenPlayer());
    rightButton->hide();

    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    // Every later value of the open flag, from this program or the desktop player's menu.
    observeDispose = bindBool(&preferences_, &Preferences::isOpenPlayerChanged, rightButton, &SwitchButton::setIsOpen);
}

void LeftMenuCell::setTitle(const QString& title) {
    titleLabel->setText(title);
    setAccessibleName(title);
}

void LeftMenuCell::setSelected(bool selected) {
    isSelected_ = selected;
    update();
    applyAppearance();
}

void LeftMenuCell::applyAppearance() {
    titleLabel->setStyleSheet(isSelected_ ? labelStyle(titleSelectedColor, labelSelectedColor)
                                          : labelStyle(titleNormalColor, labelNormalColor));
    const std::optional<QPixmap>& icon = isSelected_ ? selectedImage : normalImage;
    imageView->setPixmap(icon ? *icon : QPixmap());
}

void LeftMenuCell::clickCellAction() {
    isSelected_ = !isSelected_;
    update();
    applyAppearance();
    if (selectedClosure)
        selectedClosure();
}

void LeftMenuCell::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), isSelected_ ? labelSelectedColor : labelNormalColor);
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void LeftMenuCell::mousePressEvent(QMouseEvent* event) {
    event->accept();
    click_.press(event);
}

void LeftMenuCell::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (click_.release(event, this))
        clickCellAction();
}

void LeftMenuCell::keyPressEvent(QKeyEvent* event) {
    if (isActivationKey(event->key())) {
        clickCellAction();
        return;
    }
    QWidget::keyPressEvent(event);
}
