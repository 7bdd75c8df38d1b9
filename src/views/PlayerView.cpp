#include "views/PlayerView.h"

#include "platform/Log.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

PlayerView::PlayerView(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted: no background fill before each frame.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

PlayerView::PlayerView(const QRect& frame, QWidget* parent) : PlayerView(parent) {
    setGeometry(frame);
}

PlayerView::~PlayerView() {
    if (source_)
        source_->detachView(this);
}

void PlayerView::setPlayer(VideoFrameSource* source) {
    disconnect(connection_);
    if (source_)
        source_->detachView(this);
    source_ = source;
    if (source && !source->attachView(this))
        connection_ = connect(source, &VideoFrameSource::frameChanged, this, qOverload<>(&QWidget::update));
    update();
}

QRectF PlayerView::aspectFillRect(const QSize& frameSize, const QSize& viewSize) {
    if (frameSize.isEmpty() || viewSize.isEmpty())
        return QRectF(QPointF(0, 0), QSizeF(viewSize));
    const double scale = qMax(double(viewSize.width()) / frameSize.width(),
                              double(viewSize.height()) / frameSize.height());
    const QSizeF size(frameSize.width() * scale, frameSize.height() * scale);
    return QRectF(QPointF((viewSize.width() - size.width()) / 2.0, (viewSize.height() - size.height()) / 2.0), size);
}

void PlayerView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Only what the window shows of this view (the event's rect is clipped to it already): in the
    // arrangement spanning all screens the view is far larger than its window.
    const QRect exposed = event->rect();
    if (exposed.isEmpty())
        return;
    if (source_ && source_->drawView(this, painter, event->region()))
        return;
    const QImage* frame = source_ ? &source_->currentFrame() : nullptr;
    if (!frame || frame->isNull()) {
        painter.fillRect(exposed, Qt::black);
        return;
    }
    const QRectF target = aspectFillRect(frame->size(), size());
    const double scale = target.width() / frame->width();
    const QRectF exposedF(exposed);
    const QRectF source((exposedF.x() - target.x()) / scale, (exposedF.y() - target.y()) / scale,
                        exposedF.width() / scale, exposedF.height() / scale);
    // An exact whole-number enlargement (the usual case of the picture spread over two equal
    // screens) repeats each source pixel as a block: about a third of the cost of filtering,
    // paid per window and frame, with no uneven pixel widths. Other scales are filtered.
    const double wholeScale = std::round(scale);
    const bool blockScale = wholeScale >= 2.0 && qAbs(scale - wholeScale) < 1e-6;
    if (qAbs(scale - 1.0) > 1e-6 && !blockScale)
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(exposedF, *frame, source);
}

void PlayerView::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    platform::logLine(QStringLiteral("mouse down"));
}

bool PlayerView::event(QEvent* event) {
    if (event->type() == QEvent::TouchBegin) {
        platform::logLine(QStringLiteral("123"));
        event->accept();
        return true;
    }
    return QWidget::event(event);
}
