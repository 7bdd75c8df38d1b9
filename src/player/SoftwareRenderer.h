#pragma once
#include "player/VideoRenderer.h"

#include <atomic>
#include <cstdlib>
#include <memory>

struct mpv_render_context;

// mpv's software render API: mpv tells us (on its own thread) that a frame is due; we render
// it on the main thread into one picture in memory and tell the views to repaint.
class SoftwareRenderer final : public VideoRenderer {
    Q_OBJECT
public:
    SoftwareRenderer();
    ~SoftwareRenderer() override;

    bool attach(mpv_handle* mpv) override;
    void detach() override;
    void setVideoSize(const QSize& size) override;
    quint64 renderedFrames() const override { return renderedFrames_; }
    const QImage& currentFrame() const override { return image_; }

private:
    static void onUpdate(void* context);
    void renderPending();
    void allocate(const QSize& size);

    mpv_handle* mpv_ = nullptr;
    mpv_render_context* context_ = nullptr;
    std::atomic_bool pending_{false};
    QSize videoSize_;
    struct FreeDeleter {
        void operator()(uchar* p) const { std::free(p); }
    };
    std::unique_ptr<uchar, FreeDeleter> buffer_;
    QImage image_;
    quint64 renderedFrames_ = 0;
};
