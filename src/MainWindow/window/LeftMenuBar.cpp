#include "MainWindow/window/LeftMenuBar.h"

#include "MainWindow/window/LeftMenuCell.h"
#include "platform/NotificationCenter.h"
#include "platform/gui/OpenUrl.h"
#include "service/WebModel.h"
#include "shared/AppInfo.h"
#include "views/Assets.h"
#include "views/ClickableImageView.h"
#include "views/SwitchButton.h"

#include <QPainter>
#include <QPaintEvent>
#include <QPointer>

namespace {
// Measured from the top of the bar (the promotional picture from its bottom).
constexpr int kLogoTop = 37;
constexpr int kLogoSize = 48;
constexpr int kLineTop = kLogoTop + kLogoSize + 19;  // 20 below the logo, one pixel high
constexpr int kFirstCellTop = kLineTop + 1 + 12;
constexpr int kCellHeight = 36;
constexpr QSize kPromotionSize{140, 260};
constexpr int kPromotionMargin = 10;
// Logo, line and picture are laid out for a bar this wide and centred in a wider one.
constexpr int kColumnWidth = 160;
}  // namespace

LeftMenuBar::LeftMenuBar(const QRect& frame, std::function<void(int)> closure, Preferences& preferences,
                         platform::NotificationCenter& notices, QWidget* parent)
    : QWidget(parent), selectedClosure(std::move(closure)) {
    setGeometry(frame);
    setObjectName(QStringLiteral("leftMenuBar"));

    logo_ = new ClickableImageView(QRect(56, kLogoTop, kLogoSize, kLogoSize), this);
    logo_->setObjectName(QStringLiteral("logo"));
    logo_->setPixmap(assetImage(QStringLiteral("leftPanel_icon_tavvel")));
    logo_->setScaledContents(true);
    logo_->setAccessibleName(tr("Tavvel web site"));
    logo_->clickAction = [] { platform::openWebAddress(AppInfo::website()); };

    line_ = new QWidget(this);
    line_->setObjectName(QStringLiteral("separatorLine"));
    line_->setGeometry(10, kLineTop, 140, 1);
    line_->setAttribute(Qt::WA_StyledBackground);
    line_->setStyleSheet(QStringLiteral("background-color: rgba(255, 255, 255, 89);"));

    const QString titles[] = {tr("Video"), tr("About")};
    const QString normalImages[] = {QStringLiteral("leftPanel_videoDesktop_normal_tavvel"),
                                    QStringLiteral("leftPanel_about_normal_tavvel")};
    const QString selectedImages[] = {QStringLiteral("leftPanel_videoDesktop_pressed_tavvel"),
                                      QStringLiteral("leftPanel_about_pressed_tavvel")};
    const QString names[] = {QStringLiteral("videoCell"), QStringLiteral("aboutCell")};
    int top = kFirstCellTop;
    for (int i = 0; i < 2; ++i) {
        QPointer<LeftMenuBar> bar(this);
        auto* cell = new LeftMenuCell(
            QRect(0, top, width(), kCellHeight),
            [bar, i] {
                if (!bar)
                    return;
                bar->select(i);
                if (bar->selectedClosure)
                    bar->selectedClosure(i);
            },
            preferences, this);
        cell->setObjectName(names[i]);
        cell->setTitle(titles[i]);
        cell->normalImage = assetImage(normalImages[i]);
        cell->selectedImage = assetImage(selectedImages[i]);
        cell->imageView->setPixmap(*cell->normalImage);
        cellList.insert(i, cell);
        if (i == 0) {
            cell->setSelected(true);
            cell->rightButton->show();
        }
        top += kCellHeight;
    }

    promotion_ = new ClickableImageView(
        QRect(QPoint(kPromotionMargin, height() - kPromotionMargin - kPromotionSize.height()), kPromotionSize), this);
    layoutColumn();
    promotion_->setObjectName(QStringLiteral("promotion"));
    promotion_->setChangeCurser(true);
    promotion_->setScaledContents(true);
    promotion_->setAccessibleName(tr("Promotion"));
    promotion_->hide();

    // The image views act as buttons: reachable with Tab, pressed with Space or Return.
    for (ClickableImageView* view : {logo_, promotion_})
        view->setFocusPolicy(Qt::StrongFocus);
    QWidget::setTabOrder(logo_, cellList[0]);
    QWidget::setTabOrder(cellList[0], cellList[0]->rightButton);
    QWidget::setTabOrder(cellList[0]->rightButton, cellList[1]);
    QWidget::setTabOrder(cellList[1], promotion_);

    // Held by the bar, so that a notice never reaches a bar that is gone.
    leafletObservation_ = notices.addObserver(WebModel::leafletUpdatedNotification, this,
                                              [this](const QVariantMap& info) { leafletUpdated(info); });
}

void LeftMenuBar::select(int index) {
    for (auto it = cellList.cbegin(); it != cellList.cend(); ++it)
        it.value()->setSelected(it.key() == index);
}

QUrl LeftMenuBar::promotionUrl() const {
    return promotionUrl_;
}

void LeftMenuBar::leafletUpdated(const QVariantMap& userInfo) {
    const QVariant value = userInfo.value(WebModel::leftPanelUserInfoKey);
    if (!value.canConvert<ImageUrlMap>())
        return;
    const ImageUrlMap pictures = value.value<ImageUrlMap>();
    if (pictures.size() != 1 || !platform::isWebAddress(pictures.front().second))
        return;
    promotionUrl_ = pictures.front().second;
    promotion_->setPixmap(QPixmap::fromImage(pictures.front().first));
    promotion_->clickAction = [url = promotionUrl_] { platform::openWebAddress(url); };
    promotion_->show();
}

void LeftMenuBar::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), LeftMenuCell::sideBarColor());
}

void LeftMenuBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutColumn();
    for (LeftMenuCell* cell : std::as_const(cellList))
        cell->resize(width(), kCellHeight);
}

void LeftMenuBar::layoutColumn() {
    const int left = std::max(0, (width() - kColumnWidth) / 2);
    logo_->move(left + 56, kLogoTop);
    line_->move(left + 10, kLineTop);
    promotion_->move(left + kPromotionMargin, height() - kPromotionMargin - kPromotionSize.height());
}
