#include "player/VideoRenderer.h"

#include "player/FrameBlit.h"

#include <QPainter>

bool VideoRenderer::drawFrame(QImage& target, const QRect& viewFrame) {
    const QImage& frame = currentFrame();
    if (frame.isNull() || viewFrame.isEmpty())
        return false;
    QPainter painter(&target);
    painter.setClipRect(viewFrame);
    painter.drawImage(PlayerView::aspectFillRect(frame.size(), viewFrame.size()).translated(viewFrame.topLeft()),
                      frame);
    return true;
}

bool VideoRenderer::drawPart(QImage& target, const QRect& part) {
    const QImage& frame = currentFrame();
    if (frame.isNull() || frame.depth() != 32 || target.depth() != 32 || part.isEmpty() ||
        !QRect(QPoint(), frame.size()).contains(part))
        return false;
    const PixelRows rows{frame.constBits(), frame.bytesPerLine(), frame.size()};
    if (part.size() == target.size())
        blitBlocks(rows, target, target.rect(), -part.topLeft(), 1);
    else
        scaleRect(rows, part, target.bits(), target.bytesPerLine(), target.size());
    return true;
}
