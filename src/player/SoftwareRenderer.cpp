#include "player/SoftwareRenderer.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <QBackingStore>
#include <QMetaObject>
#include <QPainter>
#include <QRegion>
#include <QWidget>
#include <QWindow>

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
    // Every render fills its target: the picture keeps its aspect and what overflows is cut.
    mpv_set_property_string(mpv_, "panscan", "1.0");
    // mpv's software renderer cannot turn a picture (libmpv 0.35 aborts on a clip turned by a
    // quarter and shows one turned by a half upside down): the core leaves the rotation to us.
    mpv_set_property_string(mpv_, "video-rotate", "no");
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

QSize SoftwareRenderer::videoSize() const {
    if (videoSize_.isEmpty() && mpv_) {
        int64_t w = 0, h = 0;
        mpv_get_property(mpv_, "dwidth", MPV_FORMAT_INT64, &w);
        mpv_get_property(mpv_, "dheight", MPV_FORMAT_INT64, &h);
        // The file's own rotation, which mpv no longer applies (so the size above is unturned).
        int64_t degrees = 0;
        mpv_get_property(mpv_, "current-tracks/video/demux-rotation", MPV_FORMAT_INT64, &degrees);
        turns_ = quarterTurns(int(degrees % 360));
        videoSize_ = turnedSize(QSize(int(w), int(h)), turns_);
    }
    if (videoSize_.width() > 16384 || videoSize_.height() > 16384)
        return QSize();
    return videoSize_;
}

void SoftwareRenderer::releaseFrames() {
    full_ = {};
    upright_ = {};
    plan_ = {};
    store_ = {};
}

bool SoftwareRenderer::attachView(QWidget* view) {
    if (!views_.contains(view))
        views_.append(view);
    return true;
}

void SoftwareRenderer::detachView(QWidget* view) {
    views_.removeAll(view);
    views_.removeAll(nullptr);
}

QList<QWidget*> SoftwareRenderer::shownViews() const {
    QList<QWidget*> result;
    for (const QPointer<QWidget>& view : views_)
        if (view && view->isVisible())
            result.append(view);
    return result;
}

bool SoftwareRenderer::sameSizes(const QList<QWidget*>& views) const {
    for (QWidget* view : views)
        if (view->size() != views.front()->size())
            return false;
    return !views.isEmpty();
}

QWidget* SoftwareRenderer::directView(const QList<QWidget*>& views) const {
    if (!sameSizes(views) || framePlan(videoSize(), views.front()->size()).block != 1)
        return nullptr;
    QWidget* first = views.front();
    QWidget* window = first->window();
    const QWindow* handle = window->windowHandle();
    const QRect inWindow(first->mapTo(window, QPoint(0, 0)), first->size());
    if (!handle || !handle->isExposed() || !window->rect().contains(inWindow))
        return nullptr;
    return first;
}

void SoftwareRenderer::renderPending() {
    pending_ = false;
    if (!context_)
        return;
    if (!(mpv_render_context_update(context_) & MPV_RENDER_UPDATE_FRAME))
        return;
    ++frame_;
    due_ = true;
    const QList<QWidget*> views = shownViews();
    if (views.isEmpty()) {
        // Nothing shows it; render it anyway, so the frame is taken and counted (unless a surface
        // draws it on this signal).
        if (surfaces_ == 0)
            currentFrame();
    } else if (QWidget* direct = directView(views)) {
        // That view renders the frame into its window; the others copy it afterwards.
        othersWaiting_ = views.size() > 1;
        direct->update();
    } else {
        othersWaiting_ = false;
        for (QWidget* view : views)
            view->update();
    }
    emit frameChanged();
}

bool SoftwareRenderer::render(uchar* bits, qsizetype stride, const QSize& size) const {
    if (!context_ || size.isEmpty())
        return false;
    // A picture that must be enlarged or reduced by less than half: mpv converts it at its own
    // size and libyuv scales it. mpv's converter scales several times dearer than it converts,
    // and dearer still at sizes that are no whole fraction.
    const QSize decoded = turnedSize(videoSize(), turns_);
    const QRect crop = fillCrop(decoded, size);
    if (!crop.isEmpty() && crop.size() != size && crop.width() < 2 * size.width()) {
        if (!renderPicture(full_, decoded))
            return false;
        const PixelRows rows{full_.image.constBits(), full_.image.bytesPerLine(), full_.image.size()};
        scaleFill(rows, bits, stride, size);
        return true;
    }
    int sizeParam[2] = {size.width(), size.height()};
    // The byte order of QImage::Format_RGB32 on little-endian machines. "bgra" rather than "bgr0":
    // the converter then writes the 0xff the fourth byte must hold (with "bgr0" it writes 0), at
    // no extra cost, so no second pass over the frame is needed.
    char format[] = "bgra";
    size_t rowBytes = size_t(stride);
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, sizeParam},
                                 {MPV_RENDER_PARAM_SW_FORMAT, format},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &rowBytes},
                                 {MPV_RENDER_PARAM_SW_POINTER, bits},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_render(context_, params) < 0)
        return false;
    if (due_) {
        due_ = false;
        ++renderedFrames_;
    }
    return true;
}

bool SoftwareRenderer::makePicture(Picture& picture, const QSize& size) {
    if (picture.image.size() != size || picture.image.isNull()) {
        // Rows and start aligned to 64 bytes: mpv's converters take their fast paths then.
        const qsizetype stride = (qsizetype(size.width()) * 4 + 63) / 64 * 64;
        const size_t bytes = size_t(stride) * size_t(size.height()) + 64;
        picture.buffer.reset(static_cast<uchar*>(std::aligned_alloc(64, (bytes + 63) / 64 * 64)));
        picture.image = picture.buffer
                            ? QImage(picture.buffer.get(), size.width(), size.height(), stride, QImage::Format_RGB32)
                            : QImage();
        picture.hasFrame = false;
        if (picture.image.isNull())
            return false;
        picture.image.fill(Qt::black);
    }
    return true;
}

bool SoftwareRenderer::renderPicture(Picture& picture, const QSize& size) const {
    if (picture.hasFrame && picture.frame == frame_ && picture.image.size() == size)
        return true;
    if (!makePicture(picture, size))
        return false;
    // bits() on our own buffer: the image was made over it, so no copy is made here.
    if (!render(picture.buffer.get(), picture.image.bytesPerLine(), size))
        return false;
    picture.frame = frame_;
    picture.hasFrame = true;
    return true;
}

const QImage& SoftwareRenderer::currentFrame() const {
    const QSize size = videoSize();
    const bool rendered = !size.isEmpty() && frame_ > 0 && renderPicture(full_, turnedSize(size, turns_));
    if (turns_ == 0)
        return full_.image;
    if (rendered && !(upright_.hasFrame && upright_.frame == frame_ && upright_.image.size() == size) &&
        makePicture(upright_, size)) {
        const PixelRows rows{full_.image.constBits(), full_.image.bytesPerLine(), full_.image.size()};
        blitBlocks(rows, upright_.image, upright_.image.rect(), QPoint(0, 0), 1, turns_);
        upright_.frame = frame_;
        upright_.hasFrame = true;
    }
    return upright_.image;
}

bool SoftwareRenderer::storeHoldsFrame(const QSize& size, const QPaintDevice* except) const {
    if (!store_.valid || store_.frame != frame_ || store_.rows.size != size || store_.device == except ||
        !store_.window)
        return false;
    // The window's backing store may have been made anew (resized) since.
    QBackingStore* backing = store_.window->backingStore();
    return backing && backing->paintDevice() == store_.device &&
           static_cast<const QImage*>(store_.device)->constBits() == store_.imageBits;
}

bool SoftwareRenderer::drawView(QWidget* view, QPainter& painter, const QRegion& exposed) {
    QPoint origin;
    QImage* target = directTarget(painter, &origin);
    const QSize frame = videoSize();
    if (!target || frame.isEmpty() || frame_ == 0 || !context_)
        return false;
    const QList<QWidget*> views = shownViews();
    if (!views.contains(view) || !sameSizes(views))
        return false;
    const FramePlan plan = framePlan(frame, view->size());
    const QRect viewRect(origin, view->size());
    const QRegion area = (exposed & view->rect()).translated(origin);
    if (plan.block == 1 && target->rect().contains(viewRect)) {
        if (storeHoldsFrame(view->size(), target)) {
            for (const QRect& rect : area)
                blitBlocks(store_.rows, *target, rect, origin, 1);
            return true;
        }
        uchar* bits = target->bits() + qsizetype(origin.y()) * target->bytesPerLine() + qsizetype(origin.x()) * 4;
        if (turns_ == 0) {
            if (!render(bits, target->bytesPerLine(), view->size()))
                return false;
        } else {
            // Turned while copied, over the whole view: the other windows copy it from here.
            if (!renderPicture(plan_, turnedSize(view->size(), turns_)))
                return false;
            const PixelRows rows{plan_.image.constBits(), plan_.image.bytesPerLine(), plan_.image.size()};
            blitBlocks(rows, *target, viewRect, origin, 1, turns_);
        }
        QBackingStore* backing = view->backingStore();
        if (backing && backing->paintDevice() == target) {
            store_ = {view->window(), target, target->constBits(), {bits, target->bytesPerLine(), view->size()},
                      frame_,         true};
            if (othersWaiting_) {
                othersWaiting_ = false;
                for (QWidget* other : views)
                    if (other != view)
                        other->update();
            }
        }
        return true;
    }
    if (!renderPicture(plan_, turnedSize(plan.render, turns_)))
        return false;
    const PixelRows rows{plan_.image.constBits(), plan_.image.bytesPerLine(), plan_.image.size()};
    for (const QRect& rect : area)
        blitBlocks(rows, *target, rect, origin, plan.block, turns_);
    return true;
}

bool SoftwareRenderer::drawFrame(QImage& target, const QRect& viewFrame) {
    const QSize frame = videoSize();
    if (frame.isEmpty() || frame_ == 0 || !context_ || viewFrame.isEmpty() || target.depth() != 32)
        return false;
    const FramePlan plan = framePlan(frame, viewFrame.size());
    if (plan.block == 1 && turns_ == 0 && target.rect().contains(viewFrame)) {
        uchar* bits = target.bits() + qsizetype(viewFrame.y()) * target.bytesPerLine() + qsizetype(viewFrame.x()) * 4;
        return render(bits, target.bytesPerLine(), viewFrame.size());
    }
    if (!renderPicture(plan_, turnedSize(plan.render, turns_)))
        return false;
    const PixelRows rows{plan_.image.constBits(), plan_.image.bytesPerLine(), plan_.image.size()};
    blitBlocks(rows, target, target.rect() & viewFrame, viewFrame.topLeft(), plan.block, turns_);
    return true;
}

bool SoftwareRenderer::drawPart(QImage& target, const QRect& part) {
    const QSize frame = videoSize();
    if (frame.isEmpty() || frame_ == 0 || !context_)
        return false;
    // The whole frame at its own size: mpv converts it straight into the surface's picture (for
    // each of mirrored surfaces too, which costs less than copying one into the others).
    if (turns_ == 0 && part == QRect(QPoint(), frame) && target.size() == frame && target.depth() == 32)
        return render(target.bits(), target.bytesPerLine(), frame);
    return VideoRenderer::drawPart(target, part);
}
