#include "player/OpenGLRenderer.h"

#include "platform/Log.h"
#include "player/FrameBlit.h"
#include "player/SoftwareRenderer.h"
#include "views/PlayerView.h"

#include <mpv/client.h>
#include <mpv/render_gl.h>

#include <QEvent>
#include <QGuiApplication>
#include <QMetaObject>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>
#include <QPainter>
#include <QtGui/qguiapplication_platform.h>

namespace {
const char* const kSurfaceName = "videoSurface";

// Shows the part of the renderer's texture that falls into the visible part of one player view:
// the widget covers only that part (in the picture spanning screens the view is far wider than
// its window), and clicks go through it to the view.
class FrameTextureWidget final : public QOpenGLWidget, protected QOpenGLFunctions {
public:
    FrameTextureWidget(OpenGLRenderer& renderer, QWidget* view) : QOpenGLWidget(view), renderer_(&renderer) {
        setObjectName(QString::fromLatin1(kSurfaceName));
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void initializeGL() override {
        initializeOpenGLFunctions();
        program_.addShaderFromSourceCode(QOpenGLShader::Vertex,
                                         "attribute vec2 position;\n"
                                         "attribute vec2 coordinate;\n"
                                         "varying vec2 uv;\n"
                                         "void main() { uv = coordinate; gl_Position = vec4(position, 0.0, 1.0); }\n");
        program_.addShaderFromSourceCode(QOpenGLShader::Fragment,
                                         "#ifdef GL_ES\nprecision mediump float;\n#endif\n"
                                         "varying vec2 uv;\n"
                                         "uniform sampler2D frame;\n"
                                         "void main() { gl_FragColor = texture2D(frame, uv); }\n");
        program_.bindAttributeLocation("position", 0);
        program_.bindAttributeLocation("coordinate", 1);
        if (!program_.link())
            platform::logLine(QStringLiteral("video surface shader: %1").arg(program_.log().trimmed()));
    }

    void paintGL() override {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        const unsigned texture = renderer_ ? renderer_->texture() : 0;
        QWidget* view = parentWidget();
        if (!texture || !view || !program_.isLinked())
            return;
        // Where this widget lies in the picture filling the view (texture coordinates; the
        // texture's first row is the picture's bottom).
        const QSize frame = renderer_->textureSize();
        const QRectF fill = PlayerView::aspectFillRect(frame, view->size());
        const QRectF part(geometry());
        const float u0 = float((part.left() - fill.left()) / fill.width());
        const float u1 = float((part.left() + part.width() - fill.left()) / fill.width());
        const float vTop = float(1.0 - (part.top() - fill.top()) / fill.height());
        const float vBottom = float(1.0 - (part.top() + part.height() - fill.top()) / fill.height());
        const GLfloat positions[] = {-1, 1, 1, 1, -1, -1, 1, -1};
        const GLfloat coordinates[] = {u0, vTop, u1, vTop, u0, vBottom, u1, vBottom};
        // Whole-number scales repeat pixels, as the software path does; others are filtered.
        const double scale = fill.width() / frame.width();
        const bool whole = scale >= 1.0 && qAbs(scale - qRound(scale)) < 1e-6;
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, whole ? GL_NEAREST : GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, whole ? GL_NEAREST : GL_LINEAR);
        program_.bind();
        program_.setUniformValue("frame", 0);
        glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, positions);
        glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 0, coordinates);
        glEnableVertexAttribArray(0);
        glEnableVertexAttribArray(1);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        glDisableVertexAttribArray(0);
        glDisableVertexAttribArray(1);
        program_.release();
        // Bound afresh at every paint: only then is another context's new frame in it seen.
        glBindTexture(GL_TEXTURE_2D, 0);
    }

private:
    QPointer<OpenGLRenderer> renderer_;
    QOpenGLShaderProgram program_;
};

void* procAddress(void* context, const char* name) {
    return reinterpret_cast<void*>(static_cast<QOpenGLContext*>(context)->getProcAddress(name));
}
}  // namespace

bool OpenGLRenderer::isSoftwareRasterizer(const QString& glRenderer) {
    for (const char* name : {"llvmpipe", "softpipe", "software rasterizer", "swrast"})
        if (glRenderer.contains(QLatin1String(name), Qt::CaseInsensitive))
            return true;
    return false;
}

std::unique_ptr<OpenGLRenderer> OpenGLRenderer::create(QString* why) {
    // The headless and other platforms draw no OpenGL widgets.
    const QString platformName = QGuiApplication::platformName();
    if (platformName != QLatin1String("xcb") && platformName != QLatin1String("wayland")) {
        *why = QStringLiteral("no OpenGL windows on the %1 platform").arg(platformName);
        return nullptr;
    }
    if (!QOpenGLContext::globalShareContext()) {
        *why = QStringLiteral("no shared OpenGL context");
        return nullptr;
    }
    std::unique_ptr<OpenGLRenderer> self(new OpenGLRenderer);
    self->context_ = std::make_unique<QOpenGLContext>();
    self->context_->setShareContext(QOpenGLContext::globalShareContext());
    self->surface_ = std::make_unique<QOffscreenSurface>();
    self->surface_->setFormat(self->context_->format());
    self->surface_->create();
    if (!self->context_->create() || !self->surface_->isValid() || !self->makeCurrent()) {
        *why = QStringLiteral("no OpenGL context");
        return nullptr;
    }
    const auto* text = self->context_->functions()->glGetString(GL_RENDERER);
    self->glRenderer_ = text ? QString::fromLatin1(reinterpret_cast<const char*>(text)) : QString();
    self->context_->doneCurrent();
    return self;
}

OpenGLRenderer::~OpenGLRenderer() {
    detach();
    for (const QPointer<QWidget>& view : views_)
        if (view)
            delete view->findChild<QOpenGLWidget*>(QString::fromLatin1(kSurfaceName), Qt::FindDirectChildrenOnly);
    if (fbo_ && makeCurrent()) {
        fbo_.reset();
        context_->doneCurrent();
    }
}

bool OpenGLRenderer::makeCurrent() const {
    return context_ && surface_ && context_->makeCurrent(surface_.get());
}

bool OpenGLRenderer::attach(mpv_handle* mpv) {
    detach();
    if (!makeCurrent())
        return false;
    mpv_opengl_init_params gl{&procAddress, context_.get()};
    char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
    QList<mpv_render_param> params{{MPV_RENDER_PARAM_API_TYPE, apiType}, {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &gl}};
    // mpv hands decoded frames from VA-API to OpenGL through the X display, inside the GPU.
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        params.append({MPV_RENDER_PARAM_X11_DISPLAY, x11->display()});
    params.append({MPV_RENDER_PARAM_INVALID, nullptr});
    const bool made = mpv_render_context_create(&mpvContext_, mpv, params.data()) >= 0;
    context_->doneCurrent();
    if (!made) {
        mpvContext_ = nullptr;
        return false;
    }
    mpv_ = mpv;
    mpv_render_context_set_update_callback(mpvContext_, &OpenGLRenderer::onUpdate, this);
    return true;
}

void OpenGLRenderer::detach() {
    if (mpvContext_) {
        // mpv frees its GL objects: our context must be current.
        makeCurrent();
        mpv_render_context_free(mpvContext_);
        mpvContext_ = nullptr;
        context_->doneCurrent();
    }
    mpv_ = nullptr;
}

void OpenGLRenderer::onUpdate(void* context) {
    auto* self = static_cast<OpenGLRenderer*>(context);
    if (!self->pending_.exchange(true))
        QMetaObject::invokeMethod(
            self, [self] { self->renderPending(); }, Qt::QueuedConnection);
}

void OpenGLRenderer::setVideoSize(const QSize& size) {
    videoSize_ = size;
}

void OpenGLRenderer::renderPending() {
    pending_ = false;
    if (!mpvContext_ || !(mpv_render_context_update(mpvContext_) & MPV_RENDER_UPDATE_FRAME))
        return;
    QSize size = videoSize_;
    if (size.isEmpty()) {
        int64_t w = 0, h = 0;
        mpv_get_property(mpv_, "dwidth", MPV_FORMAT_INT64, &w);
        mpv_get_property(mpv_, "dheight", MPV_FORMAT_INT64, &h);
        // mpv turns a rotated clip while it renders, but its display size is the unturned one:
        // the picture is rendered at the turned size, so that it fills the texture.
        int64_t degrees = 0;
        mpv_get_property(mpv_, "video-out-params/rotate", MPV_FORMAT_INT64, &degrees);
        size = videoSize_ = turnedSize(QSize(int(w), int(h)), quarterTurns(int(degrees % 360)));
    }
    if (size.isEmpty() || size.width() > 16384 || size.height() > 16384 || !makeCurrent())
        return;
    if (!fbo_ || fbo_->size() != size)
        fbo_ = std::make_unique<QOpenGLFramebufferObject>(size);
    mpv_opengl_fbo target{int(fbo_->handle()), size.width(), size.height(), 0};
    int flip = 1;  // the usual OpenGL order: the first row is the bottom
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_OPENGL_FBO, &target}, {MPV_RENDER_PARAM_FLIP_Y, &flip}, {MPV_RENDER_PARAM_INVALID, nullptr}};
    const bool rendered = mpv_render_context_render(mpvContext_, params) >= 0;
    // The views' contexts sample the texture next: it must be complete.
    context_->functions()->glFinish();
    context_->doneCurrent();
    if (!rendered)
        return;
    size_ = size;
    ++renderedFrames_;
    for (const QPointer<QWidget>& view : views_)
        if (view && view->isVisible())
            if (auto* surface = view->findChild<QOpenGLWidget*>(QString::fromLatin1(kSurfaceName),
                                                                Qt::FindDirectChildrenOnly))
                surface->update();
    emit frameChanged();
}

unsigned OpenGLRenderer::texture() const {
    return fbo_ && renderedFrames_ > 0 ? fbo_->texture() : 0;
}

const QImage& OpenGLRenderer::currentFrame() const {
    if (fbo_ && renderedFrames_ > 0 && readBackFrame_ != renderedFrames_ && makeCurrent()) {
        readBack_ = fbo_->toImage(true).convertToFormat(QImage::Format_RGB32);
        readBackFrame_ = renderedFrames_;
        context_->doneCurrent();
    }
    return readBack_;
}

bool OpenGLRenderer::attachView(QWidget* view) {
    if (views_.contains(view))
        return true;
    views_.append(view);
    new FrameTextureWidget(*this, view);
    placeSurface(view);
    view->installEventFilter(this);
    view->window()->installEventFilter(this);
    return true;
}

void OpenGLRenderer::detachView(QWidget* view) {
    views_.removeAll(view);
    views_.removeAll(nullptr);
    view->removeEventFilter(this);
    delete view->findChild<QOpenGLWidget*>(QString::fromLatin1(kSurfaceName), Qt::FindDirectChildrenOnly);
}

bool OpenGLRenderer::drawView(QWidget* view, QPainter& painter, const QRegion& exposed) {
    // The surface widget covers what the window shows of the view; nothing to read back here.
    Q_UNUSED(view);
    painter.fillRect(exposed.boundingRect(), Qt::black);
    return true;
}

bool OpenGLRenderer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move)
        for (const QPointer<QWidget>& view : views_)
            if (view && (view == watched || view->window() == watched))
                placeSurface(view);
    return VideoRenderer::eventFilter(watched, event);
}

void OpenGLRenderer::placeSurface(QWidget* view) {
    auto* surface = view->findChild<QOpenGLWidget*>(QString::fromLatin1(kSurfaceName), Qt::FindDirectChildrenOnly);
    if (!surface)
        return;
    QWidget* window = view->window();
    const QPoint offset = view->mapTo(window, QPoint(0, 0));
    const QRect visible = QRect(offset, view->size()) & window->rect();
    surface->setGeometry(visible.isEmpty() ? QRect() : visible.translated(-offset));
}

std::unique_ptr<VideoRenderer> makeVideoRenderer() {
    const QByteArray forced = qgetenv("TAVVEL_RENDERER").trimmed().toLower();
    if (forced == "software") {
        platform::logLine(QStringLiteral("video renderer: software (TAVVEL_RENDERER=software)"));
        return makeSoftwareRenderer();
    }
    QString why;
    std::unique_ptr<OpenGLRenderer> gl = OpenGLRenderer::create(&why);
    if (!gl) {
        platform::logLine(QStringLiteral("video renderer: software (%1)").arg(why));
        return makeSoftwareRenderer();
    }
    if (forced != "opengl" && OpenGLRenderer::isSoftwareRasterizer(gl->glRenderer())) {
        platform::logLine(QStringLiteral("video renderer: software (OpenGL is %1, drawn by the CPU; "
                                         "TAVVEL_RENDERER=opengl forces it)")
                              .arg(gl->glRenderer()));
        return makeSoftwareRenderer();
    }
    platform::logLine(QStringLiteral("video renderer: opengl (%1)").arg(gl->glRenderer()));
    return gl;
}
