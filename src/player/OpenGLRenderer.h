#pragma once
#include "player/VideoRenderer.h"

#include <QList>
#include <QPointer>
#include <atomic>
#include <memory>

struct mpv_render_context;
class QOffscreenSurface;
class QOpenGLContext;
class QOpenGLFramebufferObject;

// mpv's OpenGL render API, for machines with a GPU: mpv decodes with the GPU's help where it can
// (hwdec, frames handed over inside the GPU through the X display), renders each frame once, at
// source resolution, into a texture of a context of our own, and every view samples its part of
// that texture in a GL widget of its own that shares the context's objects. Nothing goes
// through main memory; the views need Qt::AA_ShareOpenGLContexts.
class OpenGLRenderer final : public VideoRenderer {
    Q_OBJECT
public:
    // A renderer over a new context; null (and `why` says why) when no context can be made.
    static std::unique_ptr<OpenGLRenderer> create(QString* why);
    ~OpenGLRenderer() override;

    // The GL_RENDERER string of the context ("llvmpipe (LLVM 15.0.6, 256 bits)", a GPU's name).
    QString glRenderer() const { return glRenderer_; }
    // Whether that is a rasteriser in software rather than a GPU.
    static bool isSoftwareRasterizer(const QString& glRenderer);

    bool attach(mpv_handle* mpv) override;
    void detach() override;
    void setVideoSize(const QSize& size) override;
    quint64 renderedFrames() const override { return renderedFrames_; }
    QString name() const override { return QStringLiteral("opengl"); }
    // Read back from the texture, on demand (tests; the views never need it).
    const QImage& currentFrame() const override;

    bool attachView(QWidget* view) override;
    void detachView(QWidget* view) override;
    bool drawView(QWidget* view, QPainter& painter, const QRegion& exposed) override;

    // For the views' widgets: the texture of the newest frame (0: none yet) and its size.
    unsigned texture() const;
    QSize textureSize() const { return size_; }

private:
    OpenGLRenderer() = default;
    static void onUpdate(void* context);
    void renderPending();
    bool makeCurrent() const;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void placeSurface(QWidget* view);

    std::unique_ptr<QOpenGLContext> context_;
    std::unique_ptr<QOffscreenSurface> surface_;
    std::unique_ptr<QOpenGLFramebufferObject> fbo_;
    QString glRenderer_;
    mpv_render_context* mpvContext_ = nullptr;
    mpv_handle* mpv_ = nullptr;
    std::atomic_bool pending_{false};
    QSize videoSize_;
    QSize size_;
    QList<QPointer<QWidget>> views_;
    mutable QImage readBack_;
    mutable quint64 readBackFrame_ = 0;
    quint64 renderedFrames_ = 0;
};
