#pragma once
#include <QRect>
#include <QStyledItemDelegate>

// Where a grid cell puts its parts: the thumbnail above, one line of title below. A cell much
// wider than high (the list layout) puts a 16:9 thumbnail on the left and the title beside it.
namespace VideoItemCellGeometry {
QRect thumbnailRect(const QRect& cell);
QRect titleRect(const QRect& cell);
}  // namespace VideoItemCellGeometry

// The cell of the local and online tabs, reuse identifier "VideoItemCell": the thumbnail (the
// placeholder "default_thumbnail_tavvel" until one is loaded), the title, and while selected a
// background in the palette's highlight colour.
class VideoItemCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit VideoItemCell(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Draws `image` to cover `target` (cropped around its centre).
    static void drawFilling(QPainter* painter, const QRect& target, const QImage& image);
};
