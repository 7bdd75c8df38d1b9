#pragma once
#include "player/FrameBlit.h"
#include "player/VideoRenderer.h"

#include <QList>
#include <QPointer>
#include <atomic>
#include <cstdlib>
#include <memory>

struct mpv_render_context;
class QPaintDevice;

// mpv's software render API. mpv tells us (on its own thread) that a frame is due; the views
// are repainted and the frame is rendered once, inside the first paint that needs it, straight
// into the pixels that window puts on screen:
// - a view wholly inside its window, at a size that needs no enlargement by two or more (one
//   screen, mirrored screens): mpv renders into the window's backing store; the other windows
//   of the same size copy those pixels into theirs;
// - otherwise (the picture spanning screens, a small clip on a large screen) mpv renders the
//   visible region, near source resolution, into a picture of our own, and every window
//   enlarges its part of it by whole-pixel blocks into its backing store.
// Views of unequal sizes draw currentFrame() themselves.
// mpv's software renderer cannot turn a picture, so the core is told to leave a clip's rotation
// alone: mpv renders the picture as decoded, on its side, into a picture of our own, which is
// turned while it is copied into the first window (the others copy that, as above) or into each.
class SoftwareRenderer : public VideoRenderer {
    Q_OBJECT
public:
    SoftwareRenderer();
    ~SoftwareRenderer() override;

    bool attach(mpv_handle* mpv) override;
    void detach() override;
    void setVideoSize(const QSize& size) override;
    quint64 renderedFrames() const override { return renderedFrames_; }
    void releaseFrames() override;
    QString name() const override { return QStringLiteral("software"); }
    // The whole frame at source resolution (rendered on demand).
    const QImage& currentFrame() const override;

    bool attachView(QWidget* view) override;
    void detachView(QWidget* view) override;
    bool drawView(QWidget* view, QPainter& painter, const QRegion& exposed) override;
    bool drawFrame(QImage& target, const QRect& viewFrame) override;
    QSize frameSize() const override { return videoSize(); }
    bool drawPart(QImage& target, const QRect& part) override;

private:
    struct FreeDeleter {
        void operator()(uchar* p) const { std::free(p); }
    };
    // A picture of our own, 64-byte aligned rows, and the frame it holds.
    struct Picture {
        std::unique_ptr<uchar, FreeDeleter> buffer;
        QImage image;
        quint64 frame = 0;
        bool hasFrame = false;
    };
    // The last frame rendered straight into a window's backing store.
    struct StoreFrame {
        QPointer<QWidget> window;
        const QPaintDevice* device = nullptr;
        const uchar* imageBits = nullptr;
        PixelRows rows;
        quint64 frame = 0;
        bool valid = false;
    };

    static void onUpdate(void* context);
    void renderPending();
    // The size shown (turned), and the quarter turns from the decoded picture to it.
    QSize videoSize() const;
    QList<QWidget*> shownViews() const;
    bool sameSizes(const QList<QWidget*>& views) const;
    QWidget* directView(const QList<QWidget*>& views) const;
    bool render(uchar* bits, qsizetype stride, const QSize& size) const;
    // Sizes `picture` (its pixels black when it is made anew); false when memory runs out.
    static bool makePicture(Picture& picture, const QSize& size);
    // `size` is the decoded picture's orientation.
    bool renderPicture(Picture& picture, const QSize& size) const;
    bool storeHoldsFrame(const QSize& size, const QPaintDevice* except) const;

    mpv_handle* mpv_ = nullptr;
    mpv_render_context* context_ = nullptr;
    std::atomic_bool pending_{false};
    mutable QSize videoSize_;
    mutable int turns_ = 0;
    QList<QPointer<QWidget>> views_;
    quint64 frame_ = 0;           // the newest frame mpv has
    mutable bool due_ = false;    // ... and it has not been rendered yet
    bool othersWaiting_ = false;  // the other views repaint once the direct one has rendered
    mutable Picture full_;        // the whole frame as decoded
    mutable Picture upright_;     // ... and turned upright: currentFrame() of a turned clip
    Picture plan_;                // the rendered region that windows enlarge
    StoreFrame store_;
    mutable quint64 renderedFrames_ = 0;
};
