#include "MainWindow/library/VideoItemCell.h"

#include "MainWindow/library/LibraryViewModel.h"
#include "MainWindow/library/LibraryImages.h"

#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace VideoItemCellGeometry {
namespace {
constexpr int kMargin = 6;
constexpr int kTitleHeight = 22;
bool isRow(const QRect& cell) {
    return cell.width() > 3 * cell.height();
}
}  // namespace

QRect thumbnailRect(const QRect& cell) {
    const QRect inner = cell.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    if (isRow(cell)) {
        const int height = inner.height();
        return QRect(inner.topLeft(), QSize(height * 16 / 9, height));
    }
    return QRect(inner.topLeft(), QSize(inner.width(), std::max(1, inner.height() - kTitleHeight)));
}

QRect titleRect(const QRect& cell) {
    const QRect inner = cell.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QRect thumb = thumbnailRect(cell);
    if (isRow(cell))
        return QRect(thumb.right() + 1 + 2 * kMargin, inner.top(), inner.right() - thumb.right() - 2 * kMargin,
                     inner.height());
    return QRect(inner.left(), thumb.bottom() + 1, inner.width(), inner.bottom() - thumb.bottom());
}
}  // namespace VideoItemCellGeometry

VideoItemCell::VideoItemCell(QObject* parent) : QStyledItemDelegate(parent) {}

void VideoItemCell::drawFilling(QPainter* painter, const QRect& target, const QImage& image) {
    if (image.isNull() || target.isEmpty())
        return;
    // The part of the picture with the target's shape, around its centre.
    const QSizeF fitted = QSizeF(target.size()).scaled(QSizeF(image.size()), Qt::KeepAspectRatio);
    const QRectF source(QPointF((image.width() - fitted.width()) / 2, (image.height() - fitted.height()) / 2), fitted);
    painter->drawImage(QRectF(target), image, source);
}

void VideoItemCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect cell = option.rect.adjusted(2, 2, -2, -2);
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    if (selected) {
        QPainterPath background;
        background.addRoundedRect(QRectF(cell), 6, 6);
        painter->fillPath(background, option.palette.color(QPalette::Active, QPalette::Highlight));
    }
    if (option.state.testFlag(QStyle::State_HasFocus) && option.state.testFlag(QStyle::State_KeyboardFocusChange)) {
        painter->setPen(QPen(option.palette.color(QPalette::Highlight), 1, Qt::DashLine));
        painter->drawRoundedRect(QRectF(cell).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    }

    const QRect thumb = VideoItemCellGeometry::thumbnailRect(option.rect);
    QImage image = index.data(LibraryViewModel::ThumbnailRole).value<QImage>();
    if (image.isNull())
        image = libraryImage(QStringLiteral("default_thumbnail_tavvel"), thumb.size() * 2);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(thumb), 4, 4);
    painter->setClipPath(clip);
    drawFilling(painter, thumb, image);
    // The online list marks downloaded and downloading videos in the cover's top-right corner.
    const QString badge = index.data(LibraryViewModel::BadgeRole).toString();
    if (!badge.isEmpty()) {
        const int side = std::min(28, thumb.height() / 2);
        const QRect corner(thumb.right() + 1 - side, thumb.top(), side, side);
        painter->drawImage(corner, libraryImage(badge, corner.size() * 2));
    }
    painter->setClipping(false);

    const QRect titleArea = VideoItemCellGeometry::titleRect(option.rect);
    painter->setFont(option.font);
    painter->setPen(option.palette.color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text));
    const QString title = option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                        titleArea.width());
    painter->drawText(titleArea, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, title);
    painter->restore();
}

QSize VideoItemCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    if (const auto* view = qobject_cast<const QListView*>(option.widget); view && view->gridSize().isValid())
        return view->gridSize();
    return QSize(160, 110);
}
