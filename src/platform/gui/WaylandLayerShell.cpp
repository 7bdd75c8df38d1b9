#include "platform/gui/WaylandLayerShell.h"

#include "platform/Log.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>

namespace platform {
// One output of the compositor, as the player follows it.
struct Output {
    quint32 name = 0;
    wl_output* proxy = nullptr;
    zxdg_output_v1* xdg = nullptr;  // the compositor's own logical rectangle, where offered
    QPoint position;
    QSize mode;  // device pixels, before the output's transform
    int transform = WL_OUTPUT_TRANSFORM_NORMAL;
    int scale = 1;
    QPoint logicalPosition;
    QSize logicalSize;
    QRect rect;    // logical, as of the last "done"
    QSize pixels;  // the output's real pixels the way up the user sees them, as of the last "done"
    int doneScale = 1;

    // A quarter turn shows the mode's width as the height.
    QSize turnedMode() const { return transform % 2 ? mode.transposed() : mode; }
};

namespace {
LayerShell* sharedShell = nullptr;
bool compositorAnswered = false;
bool gnomeCompositor = false;
}  // namespace

struct LayerShell::Globals {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    zxdg_output_manager_v1* xdgOutputs = nullptr;
    wp_viewporter* viewporter = nullptr;
    std::vector<Output> outputs;
    bool gtkShell = false;
    LayerShell* owner = nullptr;  // null while open() still asks

    ~Globals() {
        for (Output& output : outputs)
            dropOutput(output);
        if (viewporter)
            wp_viewporter_destroy(viewporter);
        if (xdgOutputs)
            zxdg_output_manager_v1_destroy(xdgOutputs);
        if (layerShell)
            zwlr_layer_shell_v1_destroy(layerShell);
        if (shm)
            wl_shm_destroy(shm);
        if (compositor)
            wl_compositor_destroy(compositor);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
    }

    Output* output(wl_output* proxy) {
        for (Output& o : outputs)
            if (o.proxy == proxy)
                return &o;
        return nullptr;
    }
    Output* output(zxdg_output_v1* xdg) {
        for (Output& o : outputs)
            if (o.xdg == xdg)
                return &o;
        return nullptr;
    }
    static void dropOutput(Output& output) {
        if (output.xdg)
            zxdg_output_v1_destroy(output.xdg);
        wl_output_destroy(output.proxy);
    }

    void describeLogically(Output& output) {
        static const zxdg_output_v1_listener listener = {&onLogicalPosition, &onLogicalSize, &onXdgDone, &onXdgName,
                                                         &onXdgDescription};
        if (!xdgOutputs || output.xdg)
            return;
        output.xdg = zxdg_output_manager_v1_get_xdg_output(xdgOutputs, output.proxy);
        zxdg_output_v1_add_listener(output.xdg, &listener, this);
    }

    void changed() {
        if (owner)
            emit owner->outputsChanged();
    }

    static void onGeometry(void* data, wl_output* proxy, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*,
                           const char*, int32_t transform) {
        if (Output* o = static_cast<Globals*>(data)->output(proxy)) {
            o->position = QPoint(x, y);
            o->transform = transform;
        }
    }
    static void onMode(void* data, wl_output* proxy, uint32_t flags, int32_t width, int32_t height, int32_t) {
        if (Output* o = static_cast<Globals*>(data)->output(proxy); o && (flags & WL_OUTPUT_MODE_CURRENT)) {
            o->mode = QSize(width, height);
            // A version-1 output sends no "done": its rectangle stands once the mode is known.
            if (wl_output_get_version(proxy) < 2)
                onDone(data, proxy);
        }
    }
    static void onDone(void* data, wl_output* proxy) {
        auto* self = static_cast<Globals*>(data);
        Output* o = self->output(proxy);
        if (!o)
            return;
        // A fractional scale is told to wl_output rounded up: only the compositor's logical size
        // is right then. Without it the size follows from the mode, its turn and the scale.
        const QSize pixels = o->turnedMode();
        const QRect rect = o->logicalSize.isEmpty() ? QRect(o->position, pixels / qMax(1, o->scale))
                                                    : QRect(o->logicalPosition, o->logicalSize);
        if (rect != o->rect || pixels != o->pixels || o->scale != o->doneScale) {
            o->rect = rect;
            o->pixels = pixels;
            o->doneScale = o->scale;
            self->changed();
        }
    }
    static void onLogicalPosition(void* data, zxdg_output_v1* xdg, int32_t x, int32_t y) {
        if (Output* o = static_cast<Globals*>(data)->output(xdg))
            o->logicalPosition = QPoint(x, y);
    }
    static void onLogicalSize(void* data, zxdg_output_v1* xdg, int32_t width, int32_t height) {
        if (Output* o = static_cast<Globals*>(data)->output(xdg))
            o->logicalSize = QSize(width, height);
    }
    // From version 3 on the output's own "done" closes the description.
    static void onXdgDone(void* data, zxdg_output_v1* xdg) {
        auto* self = static_cast<Globals*>(data);
        if (Output* o = self->output(xdg); o && zxdg_output_v1_get_version(xdg) < 3)
            onDone(data, o->proxy);
    }
    static void onXdgName(void*, zxdg_output_v1*, const char*) {}
    static void onXdgDescription(void*, zxdg_output_v1*, const char*) {}
    static void onScale(void* data, wl_output* proxy, int32_t factor) {
        if (Output* o = static_cast<Globals*>(data)->output(proxy))
            o->scale = qMax(1, factor);
    }

    static void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
        static const wl_output_listener outputListener = {&onGeometry, &onMode, &onDone, &onScale, nullptr, nullptr};
        auto* self = static_cast<Globals*>(data);
        if (std::strcmp(interface, wl_compositor_interface.name) == 0 && !self->compositor) {
            // Version 3 lets a surface's pictures have more pixels than its size (scaled outputs).
            self->compositor = static_cast<wl_compositor*>(
                wl_registry_bind(registry, name, &wl_compositor_interface, qMin<uint32_t>(version, 3)));
        } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && !self->shm) {
            self->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
        } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0 && !self->layerShell) {
            self->layerShell = static_cast<zwlr_layer_shell_v1*>(
                wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, 1));
        } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 && !self->xdgOutputs) {
            self->xdgOutputs = static_cast<zxdg_output_manager_v1*>(
                wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, qMin<uint32_t>(version, 3)));
            for (Output& output : self->outputs)
                self->describeLogically(output);
        } else if (std::strcmp(interface, wp_viewporter_interface.name) == 0 && !self->viewporter) {
            self->viewporter = static_cast<wp_viewporter*>(
                wl_registry_bind(registry, name, &wp_viewporter_interface, 1));
        } else if (std::strcmp(interface, "gtk_shell1") == 0) {
            self->gtkShell = true;
        } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
            // Version 2 brings "done" and "scale"; later versions add events the player ignores.
            auto* proxy = static_cast<wl_output*>(
                wl_registry_bind(registry, name, &wl_output_interface, qMin<uint32_t>(version, 2)));
            Output output;
            output.name = name;
            output.proxy = proxy;
            self->outputs.push_back(output);
            wl_output_add_listener(proxy, &outputListener, self);
            self->describeLogically(self->outputs.back());
        }
    }
    static void onGlobalRemove(void* data, wl_registry*, uint32_t name) {
        auto* self = static_cast<Globals*>(data);
        for (auto it = self->outputs.begin(); it != self->outputs.end(); ++it) {
            if (it->name == name) {
                dropOutput(*it);
                self->outputs.erase(it);
                self->changed();
                return;
            }
        }
    }
};

bool LayerShell::open() {
    if (sharedShell)
        return true;
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    auto globals = std::make_unique<Globals>();
    globals->display = wl_display_connect(nullptr);
    if (!globals->display)
        return false;
    static const wl_registry_listener registryListener = {&Globals::onGlobal, &Globals::onGlobalRemove};
    globals->registry = wl_display_get_registry(globals->display);
    wl_registry_add_listener(globals->registry, &registryListener, globals.get());
    // The first round trip lists the globals, the second brings the outputs' descriptions.
    if (wl_display_roundtrip(globals->display) < 0 || wl_display_roundtrip(globals->display) < 0)
        return false;
    compositorAnswered = true;
    gnomeCompositor = globals->gtkShell;
    if (!globals->compositor || !globals->shm || !globals->layerShell || globals->outputs.empty())
        return false;
    sharedShell = new LayerShell(std::move(globals));
    return true;
}

LayerShell* LayerShell::shared() {
    if (sharedShell && !sharedShell->notifier_ && QCoreApplication::instance()) {
        sharedShell->notifier_ = new QSocketNotifier(wl_display_get_fd(sharedShell->globals_->display),
                                                     QSocketNotifier::Read, sharedShell);
        connect(sharedShell->notifier_, &QSocketNotifier::activated, sharedShell, &LayerShell::readEvents);
        // Events read during the round trips of open() wait in the queue already.
        QMetaObject::invokeMethod(sharedShell, &LayerShell::readEvents, Qt::QueuedConnection);
    }
    return sharedShell;
}

bool LayerShell::waylandSession() {
    return compositorAnswered;
}

bool LayerShell::keepsX11DesktopBelow() {
    return gnomeCompositor;
}

LayerShell::LayerShell(std::unique_ptr<Globals> globals) : globals_(std::move(globals)) {
    globals_->owner = this;
}

LayerShell::~LayerShell() {
    if (sharedShell == this)
        sharedShell = nullptr;
}

void LayerShell::readEvents() {
    wl_display* display = globals_->display;
    // libwayland's reading protocol: whatever is queued is dispatched before this thread reads.
    while (wl_display_prepare_read(display) != 0)
        wl_display_dispatch_pending(display);
    wl_display_flush(display);
    if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0) {
        lost();
        return;
    }
    flush();
}

void LayerShell::flush() {
    if (wl_display_flush(globals_->display) < 0 && errno != EAGAIN)
        lost();
}

void LayerShell::lost() {
    if (!notifier_ || !notifier_->isEnabled())
        return;
    // The compositor went away or refused a request: nothing more can be shown on this connection.
    notifier_->setEnabled(false);
    logLine(QStringLiteral("wayland: the connection to the compositor is lost (%1)")
                .arg(QString::fromLocal8Bit(std::strerror(wl_display_get_error(globals_->display)))));
}

QList<QRect> LayerShell::outputs() const {
    QList<QRect> result;
    for (const Output& output : globals_->outputs)
        result.append(output.rect);
    return result;
}

std::unique_ptr<LayerSurface> LayerShell::makeSurface(int index) {
    if (index < 0 || size_t(index) >= globals_->outputs.size())
        return nullptr;
    return std::unique_ptr<LayerSurface>(new LayerSurface(this, globals_->outputs[size_t(index)].name));
}

// --- LayerSurface ----------------------------------------------------------------------------

LayerSurface::LayerSurface(LayerShell* shell, quint32 outputName) : shell_(shell), outputName_(outputName) {
    // A new scale or turn of the output (without a new size) comes with no configure of the surface;
    // an output that was switched off and on again (its surface closed) describes itself anew.
    connect(shell, &LayerShell::outputsChanged, this, [this] {
        if (configured_ && pictureFor(size_) != picture_) {
            makeBuffers();
            emit readyToDraw();
        }
    });
}

const Output* LayerSurface::output() const {
    for (const Output& o : shell_->globals_->outputs)
        if (o.name == outputName_)
            return &o;
    return nullptr;
}

bool LayerSurface::hasOutput() const {
    return output() != nullptr;
}

LayerPicture LayerSurface::pictureFor(const QSize& size) const {
    const LayerShell::Globals& g = *shell_->globals_;
    const Output* o = output();
    const bool scales = wl_proxy_get_version(reinterpret_cast<wl_proxy*>(g.compositor)) >=
                        WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION;
    return layerPicture(size, o ? o->rect.size() : size, o ? o->pixels : size, scales ? (o ? o->doneScale : 1) : 1,
                        g.viewporter != nullptr);
}

LayerPicture layerPicture(const QSize& size, const QSize& outputSize, const QSize& outputPixels, int outputScale,
                          bool viewporter) {
    if (size.isEmpty())
        return {};
    // The output's real pixels over the part of it the surface covers.
    QSize pixels = size;
    if (!outputSize.isEmpty() && !outputPixels.isEmpty())
        pixels = QSize(int(qint64(size.width()) * outputPixels.width() / outputSize.width()),
                       int(qint64(size.height()) * outputPixels.height() / outputSize.height()));
    for (int n = qMax(1, outputScale); n >= 1; --n)
        if (pixels == size * n)
            return {pixels, n, false};
    if (viewporter && !pixels.isEmpty())
        return {pixels, 1, true};
    // No way to map them exactly: whole pixels per logical one, never more than the output has.
    const int n = qMax(1, qMin(pixels.width() / size.width(), pixels.height() / size.height()));
    return {size * n, n, false};
}

LayerSurface::~LayerSurface() {
    drop();
}

void LayerSurface::show() {
    if (surface_)
        return;
    LayerShell::Globals& g = *shell_->globals_;
    wl_output* output = nullptr;
    for (const Output& o : g.outputs)
        if (o.name == outputName_)
            output = o.proxy;
    if (!output)
        return;
    static const zwlr_layer_surface_v1_listener listener = {&LayerSurface::onConfigure, &LayerSurface::onClosed};
    surface_ = wl_compositor_create_surface(g.compositor);
    if (g.viewporter)
        viewport_ = wp_viewporter_get_viewport(g.viewporter, surface_);
    // Clicks go to what lies below: an empty input region.
    wl_region* none = wl_compositor_create_region(g.compositor);
    wl_surface_set_input_region(surface_, none);
    wl_region_destroy(none);
    layer_ = zwlr_layer_shell_v1_get_layer_surface(g.layerShell, surface_, output, ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM,
                                                   "wallpaper");
    zwlr_layer_surface_v1_add_listener(layer_, &listener, this);
    zwlr_layer_surface_v1_set_anchor(layer_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                 ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                 ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(layer_, 0, 0);
    zwlr_layer_surface_v1_set_exclusive_zone(layer_, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer_, 0);
    // The first commit, without a picture, asks the compositor for the size.
    wl_surface_commit(surface_);
    shell_->flush();
}

void LayerSurface::hide() {
    drop();
    shell_->flush();
}

void LayerSurface::drop() {
    if (frameCallback_)
        wl_callback_destroy(frameCallback_);
    frameCallback_ = nullptr;
    dropBuffers();
    if (viewport_)
        wp_viewport_destroy(viewport_);
    viewport_ = nullptr;
    if (layer_)
        zwlr_layer_surface_v1_destroy(layer_);
    if (surface_)
        wl_surface_destroy(surface_);
    layer_ = nullptr;
    surface_ = nullptr;
    configured_ = false;
    size_ = QSize();
    committed_ = LayerPicture{QSize(), 1, false};
    committedSource_ = false;
    scaledPixels_ = QSize();
}

void LayerSurface::makeBuffers() {
    dropBuffers();
    picture_ = pictureFor(size_);
    if (picture_.pixels.isEmpty())
        return;
    // On a scaled output the pictures have the output's own pixels, so the compositor shows
    // them as they are instead of enlarging them, and no more than those are drawn.
    const QSize pixels = scaledPixels_.isEmpty() ? picture_.pixels : scaledPixels_;
    logLine(QStringLiteral("wayland: wallpaper of %1x%2 logical pixels drawn at %3x%4%5")
                .arg(size_.width())
                .arg(size_.height())
                .arg(pixels.width())
                .arg(pixels.height())
                .arg(!scaledPixels_.isEmpty() ? QStringLiteral(", scaled by the compositor")
                     : picture_.viewport      ? QStringLiteral(" through a viewport")
                                              : QStringLiteral(", %1 per logical pixel").arg(picture_.bufferScale)));
    // Rows on 64 bytes: mpv's converters take their fast paths when they write straight into them.
    const int stride = (pixels.width() * 4 + 63) / 64 * 64;
    const size_t bytes = size_t(stride) * size_t(pixels.height());
    const int fd = memfd_create("tavvel-wallpaper", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, off_t(bytes * 2)) < 0) {
        logLine(QStringLiteral("wayland: no shared memory for the wallpaper (%1)")
                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
        if (fd >= 0)
            close(fd);
        return;
    }
    void* map = mmap(nullptr, bytes * 2, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) {
        close(fd);
        return;
    }
    mapping_ = static_cast<uchar*>(map);
    mappingBytes_ = bytes * 2;
    static const wl_buffer_listener listener = {&LayerSurface::onRelease};
    wl_shm_pool* pool = wl_shm_create_pool(shell_->globals_->shm, fd, int32_t(bytes * 2));
    for (int i = 0; i < 2; ++i) {
        Buffer& b = buffers_[i];
        b.pixels = mapping_ + bytes * size_t(i);
        // XRGB8888 in memory is QImage's RGB32 on a little-endian machine.
        b.image = QImage(b.pixels, pixels.width(), pixels.height(), stride, QImage::Format_RGB32);
        b.image.fill(Qt::black);
        b.buffer = wl_shm_pool_create_buffer(pool, int32_t(bytes * size_t(i)), pixels.width(), pixels.height(), stride,
                                             WL_SHM_FORMAT_XRGB8888);
        wl_buffer_add_listener(b.buffer, &listener, this);
        b.busy = false;
    }
    wl_shm_pool_destroy(pool);
    close(fd);
}

void LayerSurface::dropBuffers() {
    for (Buffer& b : buffers_) {
        if (b.buffer)
            wl_buffer_destroy(b.buffer);
        b = Buffer();
    }
    if (mapping_)
        munmap(mapping_, mappingBytes_);
    mapping_ = nullptr;
    mappingBytes_ = 0;
    drawing_ = -1;
}

bool LayerSurface::canDraw() const {
    return configured_ && !frameCallback_ && mapping_ && (!buffers_[0].busy || !buffers_[1].busy);
}

QImage* LayerSurface::beginFrame() {
    return beginFrame(QSize(), QRectF());
}

QImage* LayerSurface::beginFrame(const QSize& pixels, const QRectF& source) {
    const QSize scaled = viewport_ ? pixels : QSize();
    if (!canDraw())
        return nullptr;
    if (scaled != scaledPixels_) {
        scaledPixels_ = scaled;
        makeBuffers();
        if (!canDraw())
            return nullptr;
    }
    source_ = source;
    drawing_ = buffers_[0].busy ? 1 : 0;
    return &buffers_[drawing_].image;
}

void LayerSurface::present() {
    if (drawing_ < 0 || !surface_)
        return;
    Buffer& b = buffers_[drawing_];
    drawing_ = -1;
    static const wl_callback_listener frameListener = {&LayerSurface::onFrameDone};
    frameCallback_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frameCallback_, &frameListener, this);
    LayerPicture picture = picture_;
    if (!scaledPixels_.isEmpty())
        picture = {scaledPixels_, 1, true};
    if (picture.bufferScale != committed_.bufferScale)
        wl_surface_set_buffer_scale(surface_, picture.bufferScale);
    if (viewport_ && !scaledPixels_.isEmpty()) {
        // The source in 1/256 pixels, kept inside the picture: beyond it is a protocol error.
        const auto fixed = [](double v) { return wl_fixed_t(std::floor(v * 256)); };
        const wl_fixed_t x = qBound(0, fixed(source_.x()), fixed(scaledPixels_.width() - 1));
        const wl_fixed_t y = qBound(0, fixed(source_.y()), fixed(scaledPixels_.height() - 1));
        const wl_fixed_t w = qBound(1, fixed(source_.width()), fixed(scaledPixels_.width()) - x);
        const wl_fixed_t h = qBound(1, fixed(source_.height()), fixed(scaledPixels_.height()) - y);
        wp_viewport_set_source(viewport_, x, y, w, h);
        wp_viewport_set_destination(viewport_, size_.width(), size_.height());
    } else if (viewport_ && (picture.viewport != committed_.viewport || size_ != committedSize_ || committedSource_)) {
        wp_viewport_set_source(viewport_, wl_fixed_from_int(-1), wl_fixed_from_int(-1), wl_fixed_from_int(-1),
                               wl_fixed_from_int(-1));
        if (picture.viewport)
            wp_viewport_set_destination(viewport_, size_.width(), size_.height());
        else
            wp_viewport_set_destination(viewport_, -1, -1);
    }
    committedSource_ = !scaledPixels_.isEmpty();
    committed_ = picture;
    committedSize_ = size_;
    wl_surface_attach(surface_, b.buffer, 0, 0);
    wl_surface_damage(surface_, 0, 0, size_.width(), size_.height());
    wl_surface_commit(surface_);
    b.busy = true;
    shell_->flush();
}

void LayerSurface::onConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
                               uint32_t height) {
    auto* self = static_cast<LayerSurface*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    // Anchored on all edges, the surface is as large as the output; 0 leaves the size to us.
    QSize size{int(width), int(height)};
    if (size.isEmpty())
        for (const Output& o : self->shell_->globals_->outputs)
            if (o.name == self->outputName_)
                size = o.rect.size();
    self->configured_ = true;
    if (size != self->size_ || !self->mapping_ || self->pictureFor(size) != self->picture_) {
        self->size_ = size;
        self->makeBuffers();
    }
    emit self->readyToDraw();
}

void LayerSurface::onClosed(void* data, zwlr_layer_surface_v1*) {
    auto* self = static_cast<LayerSurface*>(data);
    self->drop();
    emit self->closed();
}

void LayerSurface::onRelease(void* data, wl_buffer* buffer) {
    auto* self = static_cast<LayerSurface*>(data);
    for (Buffer& b : self->buffers_)
        if (b.buffer == buffer)
            b.busy = false;
    if (self->canDraw())
        emit self->readyToDraw();
}

void LayerSurface::onFrameDone(void* data, wl_callback* callback, uint32_t) {
    auto* self = static_cast<LayerSurface*>(data);
    wl_callback_destroy(callback);
    if (self->frameCallback_ == callback)
        self->frameCallback_ = nullptr;
    if (self->canDraw())
        emit self->readyToDraw();
}
}  // namespace platform
