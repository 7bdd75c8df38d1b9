#include "platform/gui/WaylandLayerShell.h"

#include "platform/Log.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>
#include <wayland-client.h>

namespace platform {
namespace {
struct Output {
    quint32 name = 0;
    wl_output* proxy = nullptr;
    QPoint position;
    QSize mode;  // device pixels
    int scale = 1;
    QRect rect;         // logical, as of the last "done"
    int doneScale = 1;  // the scale as of the last "done"
};

LayerShell* sharedShell = nullptr;
}  // namespace

struct LayerShell::Globals {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    std::vector<Output> outputs;
    LayerShell* owner = nullptr;  // null while open() still asks

    ~Globals() {
        for (Output& output : outputs)
            wl_output_destroy(output.proxy);
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

    void changed() {
        if (owner)
            emit owner->outputsChanged();
    }

    static void onGeometry(void* data, wl_output* proxy, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*,
                           const char*, int32_t) {
        if (Output* o = static_cast<Globals*>(data)->output(proxy))
            o->position = QPoint(x, y);
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
        const QRect rect(o->position, o->mode / qMax(1, o->scale));
        if (rect != o->rect || o->scale != o->doneScale) {
            o->rect = rect;
            o->doneScale = o->scale;
            self->changed();
        }
    }
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
        } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
            // Version 2 brings "done" and "scale"; later versions add events the player ignores.
            auto* proxy = static_cast<wl_output*>(
                wl_registry_bind(registry, name, &wl_output_interface, qMin<uint32_t>(version, 2)));
            self->outputs.push_back({name, proxy, {}, {}, 1, {}, 1});
            wl_output_add_listener(proxy, &outputListener, self);
        }
    }
    static void onGlobalRemove(void* data, wl_registry*, uint32_t name) {
        auto* self = static_cast<Globals*>(data);
        for (auto it = self->outputs.begin(); it != self->outputs.end(); ++it) {
            if (it->name == name) {
                wl_output_destroy(it->proxy);
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
    // A new scale of the output (without a new size) comes with no configure of the surface.
    connect(shell, &LayerShell::outputsChanged, this, [this] {
        if (configured_ && outputScale() != scale_) {
            makeBuffers();
            emit readyToDraw();
        }
    });
}

int LayerSurface::outputScale() const {
    const LayerShell::Globals& g = *shell_->globals_;
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(g.compositor)) < WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION)
        return 1;
    for (const Output& o : g.outputs)
        if (o.name == outputName_)
            return o.doneScale;
    return scale_;
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
    if (layer_)
        zwlr_layer_surface_v1_destroy(layer_);
    if (surface_)
        wl_surface_destroy(surface_);
    layer_ = nullptr;
    surface_ = nullptr;
    configured_ = false;
    size_ = QSize();
    committedScale_ = 1;
}

void LayerSurface::makeBuffers() {
    dropBuffers();
    scale_ = outputScale();
    if (size_.isEmpty())
        return;
    // On a scaled output the pictures have the output's own pixels, so the compositor shows
    // them as they are instead of enlarging them.
    const QSize pixels = size_ * scale_;
    const int stride = pixels.width() * 4;
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
    if (!canDraw())
        return nullptr;
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
    if (scale_ != committedScale_) {
        wl_surface_set_buffer_scale(surface_, scale_);
        committedScale_ = scale_;
    }
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
    if (size != self->size_ || !self->mapping_ || self->outputScale() != self->scale_) {
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
