#pragma once
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>

class QPainter;
class QRegion;

// Where a player view takes its pictures from: the player's renderer, which draws each frame
// once for every view that shows it.
class VideoFrameSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual const QImage& currentFrame() const = 0;

    // A source that repaints its views itself (to choose which of them goes first) says so by
    // returning true; otherwise the view repaints on every frameChanged.
    virtual bool attachView(QWidget* view) {
        Q_UNUSED(view);
        return false;
    }
    virtual void detachView(QWidget* view) { Q_UNUSED(view); }
    // Paints `exposed` (view coordinates) of `view` itself, straight into the pixels `painter`
    // paints on; false: it cannot here, and the view draws currentFrame().
    virtual bool drawView(QWidget* view, QPainter& painter, const QRegion& exposed) {
        Q_UNUSED(view);
        Q_UNUSED(painter);
        Q_UNUSED(exposed);
        return false;
    }

signals:
    void frameChanged();
};

// A video view: paints the source's current frame so that it fills the view, keeping its
// aspect and cropping what overflows. The view may be larger than its window; only the part
// the window shows is painted.
class PlayerView : public QWidget {
    Q_OBJECT
public:
    explicit PlayerView(QWidget* parent = nullptr);
    PlayerView(const QRect& frame, QWidget* parent);
    ~PlayerView() override;

    void setPlayer(VideoFrameSource* source);
    VideoFrameSource* player() const { return source_; }

    // Where a frame of `frameSize` lies in a view of `viewSize` when it fills the view.
    static QRectF aspectFillRect(const QSize& frameSize, const QSize& viewSize);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    QPointer<VideoFrameSource> source_;
    QMetaObject::Connection connection_;
};
