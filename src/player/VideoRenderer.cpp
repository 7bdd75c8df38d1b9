#include "player/VideoRenderer.h"

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
