#include "MainWindow/View/LibraryImages.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace {
const QColor kIconGray(120, 120, 120);
const QColor kIconHover(52, 155, 255);

QPixmap canvas(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap pauseIcon(const QColor& color) {
    QPixmap pixmap = canvas(24, 24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, 1.5));
    p.drawEllipse(QRectF(1.5, 1.5, 21, 21));
    p.fillRect(QRectF(8, 7, 2.5, 10), color);
    p.fillRect(QRectF(13.5, 7, 2.5, 10), color);
    return pixmap;
}

QPixmap downloadIcon(const QColor& color) {
    QPixmap pixmap = canvas(24, 24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, 1.5));
    p.drawEllipse(QRectF(1.5, 1.5, 21, 21));
    p.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(12, 6.5), QPointF(12, 16));
    p.drawPolyline(QPolygonF({QPointF(8, 12.5), QPointF(12, 16.5), QPointF(16, 12.5)}));
    return pixmap;
}

QPixmap deleteIcon(const QColor& color) {
    QPixmap pixmap = canvas(24, 24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7, 7), QPointF(17, 17));
    p.drawLine(QPointF(17, 7), QPointF(7, 17));
    return pixmap;
}

QPixmap badge(const QColor& color, bool done) {
    QPixmap pixmap = canvas(28, 28);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath corner;  // a triangle in the top-right corner of the cover
    corner.moveTo(0, 0);
    corner.lineTo(28, 0);
    corner.lineTo(28, 28);
    corner.closeSubpath();
    p.fillPath(corner, color);
    p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (done)
        p.drawPolyline(QPolygonF({QPointF(14, 8), QPointF(17.5, 11.5), QPointF(24, 5)}));
    else {
        p.drawLine(QPointF(19, 3.5), QPointF(19, 11.5));
        p.drawPolyline(QPolygonF({QPointF(16, 9), QPointF(19, 12), QPointF(22, 9)}));
    }
    return pixmap;
}

QPixmap placeholder(int width, int height, bool round) {
    QPixmap pixmap = canvas(width, height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(225, 225, 228));
    if (round)
        p.drawEllipse(pixmap.rect());
    else
        p.drawRect(pixmap.rect());
    p.setBrush(QColor(190, 190, 196));
    if (round) {  // head and shoulders
        p.drawEllipse(QRectF(width * 0.35, height * 0.2, width * 0.3, height * 0.3));
        p.drawEllipse(QRectF(width * 0.2, height * 0.58, width * 0.6, height * 0.5));
    } else {  // a play triangle
        const qreal s = std::min(width, height) * 0.3;
        const QPointF c(width / 2.0, height / 2.0);
        p.drawPolygon(QPolygonF({c + QPointF(-s / 2, -s / 2), c + QPointF(-s / 2, s / 2), c + QPointF(s / 2, 0)}));
    }
    return pixmap;
}

QPixmap make(const QString& name) {
    if (name == QLatin1String("download_pause_normal"))
        return pauseIcon(kIconGray);
    if (name == QLatin1String("download_pause_hover"))
        return pauseIcon(kIconHover);
    if (name == QLatin1String("download_download_normal"))
        return downloadIcon(kIconGray);
    if (name == QLatin1String("download_download_hover"))
        return downloadIcon(kIconHover);
    if (name == QLatin1String("download_delete_normal"))
        return deleteIcon(kIconGray);
    if (name == QLatin1String("download_delete_hover"))
        return deleteIcon(QColor(230, 70, 60));
    if (name == QLatin1String("online_video_list_downloading_tavvel.png"))
        return badge(QColor(39, 215, 110), false);
    if (name == QLatin1String("online_video_list_downloaded_tavvel.png"))
        return badge(QColor(52, 155, 255), true);
    if (name == QLatin1String("default_thumbnail_tavvel"))
        return placeholder(320, 180, false);
    if (name == QLatin1String("default_avatar"))
        return placeholder(64, 64, true);
    return {};
}
}  // namespace

QPixmap libraryImage(const QString& name) {
    static QHash<QString, QPixmap> cache;
    auto it = cache.find(name);
    if (it == cache.end())
        it = cache.insert(name, make(name));
    return *it;
}
