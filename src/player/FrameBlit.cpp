#include "player/FrameBlit.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <cmath>
#include <cstring>

FramePlan framePlan(const QSize& frame, const QSize& view) {
    if (frame.isEmpty() || view.isEmpty())
        return {view, 1};
    const double scale =
        qMax(double(view.width()) / frame.width(), double(view.height()) / frame.height());
    const int block = scale >= 2.0 - 1e-9 ? int(std::floor(scale + 1e-9)) : 1;
    return {QSize((view.width() + block - 1) / block, (view.height() + block - 1) / block), block};
}

void blitBlocks(const PixelRows& picture, QImage& target, const QRect& area, const QPoint& origin, int block) {
    const QRect rect = area & target.rect() & QRect(origin, picture.size * block);
    if (rect.isEmpty() || block < 1 || !picture.bits)
        return;
    const int width = rect.width();
    uchar* bits = target.bits();
    const qsizetype stride = target.bytesPerLine();
    int lastSourceRow = -1;
    const quint32* lastRow = nullptr;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        auto* out = reinterpret_cast<quint32*>(bits + y * stride) + rect.left();
        const int sy = (y - origin.y()) / block;
        const auto* in = reinterpret_cast<const quint32*>(picture.bits + sy * picture.stride);
        if (block == 1) {
            std::memcpy(out, in + (rect.left() - origin.x()), size_t(width) * 4);
            continue;
        }
        if (sy == lastSourceRow) {
            // The rows of one block are equal: the first one is copied.
            std::memcpy(out, lastRow, size_t(width) * 4);
            continue;
        }
        int x = rect.left();
        const int end = rect.right() + 1;
        quint32* o = out;
        while (x < end) {
            const int sx = (x - origin.x()) / block;
            const int run = qMin(end, origin.x() + (sx + 1) * block) - x;
            const quint32 value = in[sx];
            for (int i = 0; i < run; ++i)
                *o++ = value;
            x += run;
        }
        lastSourceRow = sy;
        lastRow = out;
    }
}

QImage* directTarget(QPainter& painter, QPoint* origin) {
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster)
        return nullptr;
    QPaintDevice* device = engine->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    auto* image = static_cast<QImage*>(device);
    switch (image->format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied: break;
    default: return nullptr;
    }
    const QTransform transform = painter.deviceTransform();
    if (transform.type() > QTransform::TxTranslate || image->devicePixelRatio() != 1.0)
        return nullptr;
    const double dx = transform.dx(), dy = transform.dy();
    if (dx != std::round(dx) || dy != std::round(dy))
        return nullptr;
    *origin = QPoint(int(dx), int(dy));
    return image;
}
