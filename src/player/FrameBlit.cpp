#include "player/FrameBlit.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QThread>
#include <QThreadPool>
#include <cmath>
#include <cstring>
#include <latch>
#include <libyuv/scale_argb.h>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {
// out[0 .. 2n) = each of in[0 .. n) twice: the spanned picture's usual case, per row.
void doubleRow(const quint32* in, quint32* out, int n) {
    int i = 0;
#ifdef __SSE2__
    for (; i + 4 <= n; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi32(v, v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 4), _mm_unpackhi_epi32(v, v));
    }
#endif
    for (; i < n; ++i)
        out[2 * i] = out[2 * i + 1] = in[i];
}

// One row of `width` pixels from x = `left` (target coordinates) of a picture row placed at
// `originX`, each pixel `block` wide.
void blockRow(const quint32* in, quint32* out, int left, int width, int originX, int block) {
    int x = left;
    const int end = left + width;
    // A part block at the start; then whole blocks; then a part block at the end.
    const auto partial = [&](int upTo) {
        while (x < upTo) {
            *out++ = in[(x - originX) / block];
            ++x;
        }
    };
    const int firstWhole = originX + ((x - originX + block - 1) / block) * block;
    partial(qMin(end, firstWhole));
    const int wholeBlocks = (end - x) / block;
    if (wholeBlocks > 0) {
        const quint32* from = in + (x - originX) / block;
        if (block == 2) {
            doubleRow(from, out, wholeBlocks);
            out += 2 * wholeBlocks;
        } else {
            for (int i = 0; i < wholeBlocks; ++i)
                for (int j = 0; j < block; ++j)
                    *out++ = from[i];
        }
        x += wholeBlocks * block;
    }
    partial(end);
}

// Rows [firstRow, firstRow + rows) of the turned picture, columns [firstColumn, firstColumn +
// columns), into `out` (`columns` pixels a row). Each case walks the picture along its rows, so
// the few rows of a strip are gathered from consecutive pixels.
template <int Turns>
void gatherTurned(const PixelRows& picture, int firstColumn, int columns, int firstRow, int rows, quint32* out) {
    const int w = picture.size.width(), h = picture.size.height();
    const auto row = [&](int y) {
        return reinterpret_cast<const quint32*>(picture.bits + qsizetype(y) * picture.stride);
    };
    if constexpr (Turns == 2) {
        // Shown (x, y) is (w-1-x, h-1-y): each row reversed.
        for (int r = 0; r < rows; ++r) {
            const quint32* in = row(h - 1 - (firstRow + r));
            quint32* line = out + qsizetype(r) * columns;
            for (int c = 0; c < columns; ++c)
                line[c] = in[w - 1 - (firstColumn + c)];
        }
    } else {
        for (int c = 0; c < columns; ++c) {
            const int x = firstColumn + c;
            // A quarter turn: shown (x, y) is (y, h-1-x); three: (w-1-y, x).
            const quint32* in = row(Turns == 1 ? h - 1 - x : x);
            for (int r = 0; r < rows; ++r)
                out[qsizetype(r) * columns + c] = in[Turns == 1 ? firstRow + r : w - 1 - (firstRow + r)];
        }
    }
}

// A quarter turn (`Turns` 1 or 3) copied pixel for pixel, in tiles of 64 x 64 that stay in the
// cache while their rows of the picture become their columns; 4 x 4 squares are
// turned in registers.
template <int Turns>
void turnQuarter(const PixelRows& picture, QImage& target, const QRect& rect, const QPoint& origin) {
    constexpr int kTile = 64;
    const int w = picture.size.width(), h = picture.size.height();
    // Picture pixel of shown (x, y): a quarter turn shows (y, h-1-x), three show (w-1-y, x).
    const auto source = [&](int x, int y) {
        const int row = Turns == 1 ? h - 1 - x : x;
        return reinterpret_cast<const quint32*>(picture.bits + qsizetype(row) * picture.stride) +
               (Turns == 1 ? y : w - 1 - y);
    };
    uchar* bits = target.bits();
    const qsizetype stride = target.bytesPerLine();
    const auto out = [&](int tx, int ty) { return reinterpret_cast<quint32*>(bits + ty * stride) + tx; };
    const auto scalar = [&](int tx0, int tx1, int ty0, int ty1) {
        for (int tx = tx0; tx < tx1; ++tx)
            for (int ty = ty0; ty < ty1; ++ty)
                *out(tx, ty) = *source(tx - origin.x(), ty - origin.y());
    };
    for (int ty0 = rect.top(); ty0 <= rect.bottom(); ty0 += kTile) {
        const int ty1 = qMin(ty0 + kTile, rect.bottom() + 1);
        for (int tx0 = rect.left(); tx0 <= rect.right(); tx0 += kTile) {
            const int tx1 = qMin(tx0 + kTile, rect.right() + 1);
            int tx = tx0, ty = ty0;
#ifdef __SSE2__
            const int txEnd = tx0 + (tx1 - tx0) / 4 * 4, tyEnd = ty0 + (ty1 - ty0) / 4 * 4;
            for (ty = ty0; ty < tyEnd; ty += 4) {
                const int y = ty - origin.y();
                for (tx = tx0; tx < txEnd; tx += 4) {
                    const int x = tx - origin.x();
                    // v[j] holds shown (x + j, y .. y + 3); three quarter turns read backwards.
                    __m128i v[4];
                    for (int j = 0; j < 4; ++j) {
                        v[j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source(x + j, Turns == 1 ? y : y + 3)));
                        if (Turns == 3)
                            v[j] = _mm_shuffle_epi32(v[j], _MM_SHUFFLE(0, 1, 2, 3));
                    }
                    const __m128i t0 = _mm_unpacklo_epi32(v[0], v[1]), t1 = _mm_unpacklo_epi32(v[2], v[3]);
                    const __m128i t2 = _mm_unpackhi_epi32(v[0], v[1]), t3 = _mm_unpackhi_epi32(v[2], v[3]);
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out(tx, ty)), _mm_unpacklo_epi64(t0, t1));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out(tx, ty + 1)), _mm_unpackhi_epi64(t0, t1));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out(tx, ty + 2)), _mm_unpacklo_epi64(t2, t3));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out(tx, ty + 3)), _mm_unpackhi_epi64(t2, t3));
                }
            }
            // What is left of the tile: its right columns, then its bottom rows.
            scalar(txEnd, tx1, ty0, tyEnd);
            tx = tx0;
#endif
            scalar(tx, tx1, ty, ty1);
        }
    }
}

// blitBlocks for a turned picture: the shown rows are gathered a strip at a time into a small
// buffer that stays in the cache, then copied or enlarged as unturned rows are.
void blitTurned(const PixelRows& picture, QImage& target, const QRect& rect, const QPoint& origin, int block,
                int turns) {
    if (block == 1) {
        if (turns == 1) {
            turnQuarter<1>(picture, target, rect, origin);
        } else if (turns == 3) {
            turnQuarter<3>(picture, target, rect, origin);
        } else {
            // A half turn: each row reversed, straight into the target.
            const int w = picture.size.width(), h = picture.size.height();
            for (int ty = rect.top(); ty <= rect.bottom(); ++ty) {
                const auto* in = reinterpret_cast<const quint32*>(picture.bits + qsizetype(h - 1 - (ty - origin.y())) *
                                                                                     picture.stride) +
                                 (w - 1 - (rect.left() - origin.x()));
                auto* out = reinterpret_cast<quint32*>(target.bits() + ty * target.bytesPerLine()) + rect.left();
                for (int i = 0; i < rect.width(); ++i)
                    out[i] = in[-i];
            }
        }
        return;
    }
    constexpr int kStrip = 8;
    const int firstColumn = (rect.left() - origin.x()) / block;
    const int columns = (rect.right() - origin.x()) / block - firstColumn + 1;
    const int lastRow = (rect.bottom() - origin.y()) / block;
    std::vector<quint32> strip(size_t(columns) * kStrip);
    uchar* bits = target.bits();
    const qsizetype stride = target.bytesPerLine();
    int y = rect.top();
    while (y <= rect.bottom()) {
        const int firstRow = (y - origin.y()) / block;
        const int rows = qMin(kStrip, lastRow - firstRow + 1);
        switch (turns) {
        case 1: gatherTurned<1>(picture, firstColumn, columns, firstRow, rows, strip.data()); break;
        case 2: gatherTurned<2>(picture, firstColumn, columns, firstRow, rows, strip.data()); break;
        default: gatherTurned<3>(picture, firstColumn, columns, firstRow, rows, strip.data()); break;
        }
        const int stripEnd = qMin(rect.bottom(), origin.y() + (firstRow + rows) * block - 1);
        for (; y <= stripEnd; ++y) {
            const quint32* in = strip.data() + qsizetype((y - origin.y()) / block - firstRow) * columns;
            auto* out = reinterpret_cast<quint32*>(bits + y * stride) + rect.left();
            if (block == 1)
                std::memcpy(out, in, size_t(columns) * 4);
            else
                blockRow(in, out, rect.left(), rect.width(), origin.x() + firstColumn * block, block);
        }
    }
}
}  // namespace

int quarterTurns(int degrees) {
    return ((degrees % 360 + 360) % 360 + 45) / 90 % 4;
}

QSize turnedSize(const QSize& size, int turns) {
    return turns % 2 ? size.transposed() : size;
}

FramePlan framePlan(const QSize& frame, const QSize& view) {
    if (frame.isEmpty() || view.isEmpty())
        return {view, 1};
    const double scale = qMax(double(view.width()) / frame.width(), double(view.height()) / frame.height());
    const int block = scale >= 2.0 - 1e-9 ? int(std::floor(scale + 1e-9)) : 1;
    return {QSize((view.width() + block - 1) / block, (view.height() + block - 1) / block), block};
}

void blitBlocks(const PixelRows& picture, QImage& target, const QRect& area, const QPoint& origin, int block,
                int turns) {
    const QRect rect = area & target.rect() & QRect(origin, turnedSize(picture.size, turns) * block);
    if (rect.isEmpty() || block < 1 || !picture.bits)
        return;
    if (turns % 4) {
        blitTurned(picture, target, rect, origin, block, turns % 4);
        return;
    }
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
        blockRow(in, out, rect.left(), width, origin.x(), block);
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

QRect fillCrop(const QSize& picture, const QSize& size) {
    if (picture.isEmpty() || size.isEmpty())
        return {};
    const double scale = qMax(double(size.width()) / picture.width(), double(size.height()) / picture.height());
    const int w = qBound(1, int(std::lround(size.width() / scale)), picture.width());
    const int h = qBound(1, int(std::lround(size.height() / scale)), picture.height());
    return {(picture.width() - w) / 2, (picture.height() - h) / 2, w, h};
}

ViewportPlan viewportPlan(const QSize& frame, const QRect& viewFrame, const QSize& logical, const QSize& pixels) {
    if (frame.isEmpty() || viewFrame.isEmpty() || logical.isEmpty() || pixels.isEmpty())
        return {};
    // Logical pixels per frame pixel, and where the frame's corner lies on the surface.
    const double scale = qMax(double(viewFrame.width()) / frame.width(), double(viewFrame.height()) / frame.height());
    const double left = viewFrame.x() + (viewFrame.width() - frame.width() * scale) / 2;
    const double top = viewFrame.y() + (viewFrame.height() - frame.height() * scale) / 2;
    // What shows of the frame, in its pixels.
    const double x0 = qBound(0.0, -left / scale, double(frame.width()));
    const double y0 = qBound(0.0, -top / scale, double(frame.height()));
    const double x1 = qBound(x0, (logical.width() - left) / scale, double(frame.width()));
    const double y1 = qBound(y0, (logical.height() - top) / scale, double(frame.height()));
    const QRect part(QPoint(int(std::floor(x0 + 1e-6)), int(std::floor(y0 + 1e-6))),
                     QPoint(int(std::ceil(x1 - 1e-6)) - 1, int(std::ceil(y1 - 1e-6)) - 1));
    if (part.isEmpty())
        return {};
    // A frame larger than the output is reduced to the output's pixels here, not by the compositor.
    const double reduce = qMin(1.0, qMin(pixels.width() / (x1 - x0), pixels.height() / (y1 - y0)));
    const QSize picture(qMax(1, int(std::lround(part.width() * reduce))),
                        qMax(1, int(std::lround(part.height() * reduce))));
    const double sx = double(picture.width()) / part.width(), sy = double(picture.height()) / part.height();
    const QRectF source(QPointF((x0 - part.x()) * sx, (y0 - part.y()) * sy),
                        QPointF(qMin(double(picture.width()), (x1 - part.x()) * sx),
                                qMin(double(picture.height()), (y1 - part.y()) * sy)));
    return {part, picture, source};
}

void scaleFill(const PixelRows& picture, uchar* bits, qsizetype stride, const QSize& size) {
    scaleRect(picture, fillCrop(picture.size, size), bits, stride, size);
}

void scaleRect(const PixelRows& picture, const QRect& part, uchar* bits, qsizetype stride, const QSize& size) {
    const QRect crop = part & QRect(QPoint(), picture.size);
    if (crop.isEmpty() || size.isEmpty() || !picture.bits || !bits)
        return;
    const uchar* from = picture.bits + qsizetype(crop.y()) * picture.stride + qsizetype(crop.x()) * 4;
    const auto stripe = [&](int top, int rows) {
        libyuv::ARGBScaleClip(from, int(picture.stride), crop.width(), crop.height(), bits, int(stride), size.width(),
                              size.height(), 0, top, size.width(), rows, libyuv::kFilterBilinear);
    };
    // Stripes of at least 64 rows, one per core at most: each thread's work stays worth its start.
    const int count = qBound(1, qMin(QThread::idealThreadCount(), size.height() / 64), 8);
    if (count == 1 || qsizetype(size.width()) * size.height() < 512 * 512) {
        stripe(0, size.height());
        return;
    }
    // Stripe boundaries on even rows: the filter's rows then fall as a whole-picture scale puts them.
    const int rowsEach = (size.height() / count + 1) & ~1;
    std::latch done(count - 1);
    for (int i = 1; i < count; ++i) {
        const int top = i * rowsEach;
        const int rows = i == count - 1 ? size.height() - top : rowsEach;
        QThreadPool::globalInstance()->start([&, top, rows] {
            if (rows > 0)
                stripe(top, rows);
            done.count_down();
        });
    }
    stripe(0, qMin(rowsEach, size.height()));
    done.wait();
}
