#pragma once
#include "views/PlayerView.h"

#include <QSize>
#include <memory>

struct mpv_handle;

// Draws the frames of one mpv core once, for every window that shows them. The software
// renderer below runs everywhere; an OpenGL one can take its place on machines with a GPU.
class VideoRenderer : public VideoFrameSource {
    Q_OBJECT
public:
    using VideoFrameSource::VideoFrameSource;

    // Connects to the core; before the first file is loaded (mpv's "libmpv" video output
    // needs its render context then). False when the core refuses.
    virtual bool attach(mpv_handle* mpv) = 0;
    // Lets go of the core; before it is destroyed.
    virtual void detach() = 0;
    // The size of the decoded picture changed (mpv's display size); empty: unknown, read it from
    // the core at the next frame.
    virtual void setVideoSize(const QSize& size) = 0;
    virtual quint64 renderedFrames() const = 0;
    // Lets go of the pictures kept between frames (the player is switched off).
    virtual void releaseFrames() {}
    // "software" or "opengl", for the log and the benchmark.
    virtual QString name() const = 0;

    // Surfaces that are no widgets (a Wayland layer surface) draw each frame with drawFrame: while
    // one is attached the renderer leaves the drawing of frames nobody shows to it.
    virtual void attachSurface() { ++surfaces_; }
    virtual void detachSurface() { surfaces_ = qMax(0, surfaces_ - 1); }
    // Draws the current frame so that it fills `viewFrame` (target coordinates; it may reach beyond
    // the target, which clips it) of `target`, a 32-bit RGB picture. False when there is no frame.
    virtual bool drawFrame(QImage& target, const QRect& viewFrame);
    // The size of the picture shown (turned upright); empty while none is known.
    virtual QSize frameSize() const { return currentFrame().size(); }
    // Draws `part` of the current frame (its own pixels, upright) over the whole of `target`, a
    // 32-bit RGB picture, scaled to its size. False when there is no frame.
    virtual bool drawPart(QImage& target, const QRect& part);

protected:
    int surfaces_ = 0;
};

// The renderer over mpv's software render API into a 32-bit RGB picture in memory.
std::unique_ptr<VideoRenderer> makeSoftwareRenderer();

// The OpenGL renderer where a GPU draws the context, the software one otherwise (no context, or
// a rasteriser in software such as llvmpipe); TAVVEL_RENDERER=software|opengl forces either.
// Logs one line saying which and why. OpenGL needs Qt::AA_ShareOpenGLContexts set before the
// application object is made.
std::unique_ptr<VideoRenderer> makeVideoRenderer();
