#pragma once
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>

class QImage;
class QPainter;

// How a frame of `frame` pixels is drawn to fill a view of `view` pixels (aspect fill, the
// overflow cropped): the picture is rendered at `render` pixels, each of which covers a block of
// `block` x `block` view pixels. Enlarged by two or more, it is rendered near source resolution
// and its pixels repeated (far cheaper than rendering at the view's size); otherwise it is
// rendered at the view's size.
struct FramePlan {
    QSize render;
    int block = 1;
    bool operator==(const FramePlan&) const = default;
};
FramePlan framePlan(const QSize& frame, const QSize& view);

// 32-bit pixels, as QImage::Format_RGB32 lays them out.
struct PixelRows {
    const uchar* bits = nullptr;
    qsizetype stride = 0;
    QSize size;
};

// Clockwise quarter turns from the decoded picture to the one shown (a phone's clip filmed
// upright is decoded lying on its side): 0 to 3, from mpv's rotation in degrees.
int quarterTurns(int degrees);
// `size` after `turns` quarter turns.
QSize turnedSize(const QSize& size, int turns);

// Writes `area` of `target` (its own pixel coordinates) from a picture, turned clockwise by
// `turns` quarter turns, whose top-left pixel then lies at `origin` in the target, each picture
// pixel repeated as a `block` x `block` square. Only the part of `area` inside the target is
// written; picture pixels beyond its size repeat its edge.
void blitBlocks(const PixelRows& picture, QImage& target, const QRect& area, const QPoint& origin, int block,
                int turns = 0);

// Fills `size` pixels at `bits` (rows `stride` bytes apart) with the centre of `picture` that has
// the aspect of `size` (an aspect fill, the overflow cut), scaled with a bilinear filter; in
// stripes of rows on several threads when the picture is large.
void scaleFill(const PixelRows& picture, uchar* bits, qsizetype stride, const QSize& size);
// Fills `size` pixels at `bits` with `part` of `picture`, scaled with a bilinear filter.
void scaleRect(const PixelRows& picture, const QRect& part, uchar* bits, qsizetype stride, const QSize& size);
// The part of a picture of `picture` pixels that an aspect fill of `size` shows.
QRect fillCrop(const QSize& picture, const QSize& size);

// How a surface of `logical` size whose output has `pixels` real pixels there shows what an
// aspect fill of `viewFrame` (its own logical coordinates; it may reach beyond the surface) shows
// of a frame of `frame` pixels, when the compositor scales: `part` of the frame (whole pixels,
// around what shows) is drawn into a picture of `picture` pixels (the frame's own, never more
// than the output has), of which `source` is mapped onto the whole surface.
struct ViewportPlan {
    QRect part;
    QSize picture;
    QRectF source;
};
ViewportPlan viewportPlan(const QSize& frame, const QRect& viewFrame, const QSize& logical, const QSize& pixels);

// The 32-bit picture `painter` paints on, when its pixels can be written straight (a raster
// image of an opaque 32-bit format, reached by a whole-pixel translation); then `origin` is where
// the painter's (0, 0) lies in it. Null otherwise.
QImage* directTarget(QPainter& painter, QPoint* origin);
