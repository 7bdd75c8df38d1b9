#include "player/SoftwareRenderer.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <QMetaObject>

std::unique_ptr<VideoRenderer> makeSoftwareRenderer() {
    return std::make_unique<SoftwareRenderer>();
}

SoftwareRenderer::SoftwareRenderer() = default;

SoftwareRenderer::~SoftwareRenderer() {
    detach();
}

bool SoftwareRenderer::attach(mpv_handle* mpv) {
    detach();
    char apiType[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType}, {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_create(&context_, mpv, params) < 0) {
        context_ = nullptr;
        return false;
    }
    mpv_ = mpv;
    mpv_render_context_set_update_callback(context_, &SoftwareRenderer::onUpdate, this);
    return true;
}

void SoftwareRenderer::detach() {
    if (context_) {
        // After this mpv calls onUpdate no more; queued renders find no context and do nothing.
        mpv_render_context_free(context_);
        context_ = nullptr;
    }
    mpv_ = nullptr;
}

void SoftwareRenderer::onUpdate(void* context) {
    // mpv's thread: hand the work to the main thread, once per burst.
    auto* self = static_cast<SoftwareRenderer*>(context);
    if (!self->pending_.exchange(true))
        QMetaObject::invokeMethod(
            self, [self] { self->renderPending(); }, Qt::QueuedConnection);
}

void SoftwareRenderer::setVideoSize(const QSize& size) {
    videoSize_ = size;
}

void SoftwareRenderer::allocate(const QSize& size) {
    // Rows and start aligned to 64 bytes: mpv's converters take their fast paths then.
    const qsizetype stride = (qsizetype(size.width()) * 4 + 63) / 64 * 64;
    const size_t bytes = size_t(stride) * size_t(size.height()) + 64;
    buffer_.reset(static_cast<uchar*>(std::aligned_alloc(64, (bytes + 63) / 64 * 64)));
    if (!buffer_) {
        image_ = QImage();
        return;
    }
    image_ = QImage(buffer_.get(), size.width(), size.height(), stride, QImage::Format_RGB32);
    image_.fill(Qt::black);
}

void SoftwareRenderer::renderPending() {
    pending_ = false;
    if (!context_)
        return;
    if (!(mpv_render_context_update(context_) & MPV_RENDER_UPDATE_FRAME))
        return;
    QSize size = videoSize_;
    if (size.isEmpty()) {
        int64_t w = 0, h = 0;
        mpv_get_property(mpv_, "dwidth", MPV_FORMAT_INT64, &w);
        mpv_get_property(mpv_, "dheight", MPV_FORMAT_INT64, &h);
        size = QSize(int(w), int(h));
        videoSize_ = size;
    }
    if (size.isEmpty() || size.width() > 16384 || size.height() > 16384)
        return;
    if (image_.size() != size)
        allocate(size);
    if (image_.isNull())
        return;
    int sizeParam[2] = {size.width(), size.height()};
    // The byte order of QImage::Format_RGB32 on little-endian machines. "bgra" rather than "bgr0":
    // the converter then writes the 0xff the fourth byte must hold (with "bgr0" it writes 0), at
    // no extra cost, so no second pass over the frame is needed.
    char format[] = "bgra";
    size_t stride = size_t(image_.bytesPerLine());
    // bits() on our own buffer: the image was made over it, so no copy is made here.
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, sizeParam},
                                 {MPV_RENDER_PARAM_SW_FORMAT, format},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, buffer_.get()},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_render(context_, params) < 0)
        return;
    ++renderedFrames_;
    emit frameChanged();
}
