#pragma once
#include <QImage>
#include <QList>
#include <QObject>
#include <QRect>
#include <QRectF>
#include <memory>

struct wl_buffer;
struct wl_callback;
struct wl_display;
struct wl_output;
struct wl_surface;
struct zwlr_layer_surface_v1;
struct wp_viewport;
class QSocketNotifier;

namespace platform {
class LayerSurface;
struct Output;

// How a surface of a logical size is drawn on its output: pictures of `pixels`, shown at
// `bufferScale` picture pixels per logical one, or mapped onto the logical size through a
// viewport (a fractional scale).
struct LayerPicture {
    QSize pixels;
    int bufferScale = 1;
    bool viewport = false;
    bool operator==(const LayerPicture&) const = default;
};
// The picture for a surface of `size` on an output of `outputSize` logical and `outputPixels`
// real pixels whose integer scale is `outputScale`: as many pixels as the output has there.
LayerPicture layerPicture(const QSize& size, const QSize& outputSize, const QSize& outputPixels, int outputScale,
                          bool viewporter);

// The compositor's layer shell (zwlr_layer_shell_v1: wlroots compositors, KDE's KWin) on a
// Wayland connection of the player's own, beside whatever Qt itself speaks to. Its events are
// read in the Qt event loop. It follows the compositor's outputs as they come and go.
class LayerShell final : public QObject {
    Q_OBJECT
public:
    // Connects to the compositor named by WAYLAND_DISPLAY and keeps the connection when it offers
    // the layer shell, shared memory and at least one output. Call once, before the application
    // object is made (it chooses Qt's platform from the answer). Returns whether it is there.
    static bool open();
    // The open layer shell, or null. Its events are read once the application object exists.
    static LayerShell* shared();
    // What open() learned besides: whether a Wayland compositor answered at all, and whether it is
    // GNOME's (mutter, the one offering gtk_shell1), which keeps XWayland's desktop windows in its
    // desktop layer. Other compositors without a layer shell (weston) place an X11 window of the
    // player as an ordinary one, over the user's work.
    static bool waylandSession();
    static bool keepsX11DesktopBelow();
    ~LayerShell() override;

    // The outputs' rectangles in the compositor's logical pixels, in the order they appeared.
    QList<QRect> outputs() const;
    // A bottom-layer surface over output number `index` of outputs(); null when there is none.
    std::unique_ptr<LayerSurface> makeSurface(int index);

    struct Globals;

signals:
    // Outputs were added or removed, or one changed its rectangle or its scale.
    void outputsChanged();

private:
    explicit LayerShell(std::unique_ptr<Globals> globals);
    void readEvents();
    void flush();
    void lost();

    std::unique_ptr<Globals> globals_;
    QSocketNotifier* notifier_ = nullptr;
    friend class LayerSurface;
};

// One surface on the bottom layer of one output: it fills the output, pushes no other surface
// aside, takes no keyboard and lets every click through. It is drawn into 32-bit pictures of
// shared memory (two, so one can be drawn while the compositor shows the other).
class LayerSurface final : public QObject {
    Q_OBJECT
public:
    ~LayerSurface() override;

    // Maps the surface (it shows once the compositor has configured it and a picture is drawn).
    void show();
    // Unmaps it.
    void hide();
    bool isShown() const { return surface_ != nullptr; }
    // The size the compositor gave it, in logical pixels; empty before its answer.
    QSize size() const { return size_; }
    // The pictures' size: the output's real pixels over size().
    QSize pictureSize() const { return picture_.pixels; }
    // Its output is still there (a closed surface may be shown again).
    bool hasOutput() const;

    // Whether a picture may be drawn now: configured, one of the two pictures free, and the
    // compositor has shown the last one.
    bool canDraw() const;
    // The free picture, of size() * scale(), to draw into; then present() it. Null when !canDraw().
    QImage* beginFrame();
    // Whether the compositor can scale the pictures (a viewport).
    bool canScale() const { return viewport_ != nullptr; }
    // A free picture of `pixels` instead, whose `source` rectangle the compositor maps onto the
    // whole surface. Only where canScale().
    QImage* beginFrame(const QSize& pixels, const QRectF& source);
    void present();

signals:
    // A picture may be drawn again (after the first configure, a new size, a shown frame).
    void readyToDraw();
    // The compositor took the surface away (its output is gone or switched off).
    void closed();

private:
    friend class LayerShell;
    struct Buffer {
        wl_buffer* buffer = nullptr;
        uchar* pixels = nullptr;
        QImage image;
        bool busy = false;
    };
    LayerSurface(LayerShell* shell, quint32 outputName);
    const Output* output() const;
    LayerPicture pictureFor(const QSize& size) const;
    void makeBuffers();
    void dropBuffers();
    void drop();

    static void onConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height);
    static void onClosed(void* data, zwlr_layer_surface_v1* layer);
    static void onRelease(void* data, wl_buffer* buffer);
    static void onFrameDone(void* data, wl_callback* callback, uint32_t time);

    LayerShell* shell_;
    quint32 outputName_;  // the output's global name: its proxy goes with the output
    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layer_ = nullptr;
    wp_viewport* viewport_ = nullptr;
    wl_callback* frameCallback_ = nullptr;
    QSize size_;
    LayerPicture picture_;    // of the pictures
    LayerPicture committed_;  // the surface's, as last told to the compositor
    QSize committedSize_;
    bool committedSource_ = false;  // the viewport has a source rectangle
    bool configured_ = false;
    Buffer buffers_[2];
    uchar* mapping_ = nullptr;
    size_t mappingBytes_ = 0;
    int drawing_ = -1;    // the picture handed out by beginFrame
    QSize scaledPixels_;  // the pictures' size when the compositor scales them; empty otherwise
    QRectF source_;       // ... and the part of them it maps onto the surface
};
}  // namespace platform
