// Which renderer the player takes: OpenGL only where a GPU draws the context, the software one
// otherwise, each choice with one log line; TAVVEL_RENDERER forces either. Run headless (no
// OpenGL windows at all) and under Xvfb (Mesa's llvmpipe, a rasteriser in software).
#include "CapturedOutput.h"
#include "player/OpenGLRenderer.h"
#include "player/VideoRenderer.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

namespace {
const bool kShared = [] {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();
}  // namespace

TEST(RendererChoice, OpenGLOnlyOnAGpuOrWhenForced) {
    ASSERT_TRUE(kShared);
    const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    QString why;
    const auto probe = OpenGLRenderer::create(&why);
    // On this machine and in CI there is no GPU: a context is llvmpipe at best.
    const bool gpu = probe && !OpenGLRenderer::isSoftwareRasterizer(probe->glRenderer());
    const struct {
        const char* forced;
        QString name;
        const char* reason;
    } cases[] = {
        {"", gpu ? "opengl" : "software", gpu ? "" : (x11 ? "drawn by the CPU" : "no OpenGL windows")},
        {"software", "software", "TAVVEL_RENDERER=software"},
        {"opengl", probe ? "opengl" : "software", probe ? "" : "no OpenGL windows"},
    };
    for (const auto& c : cases) {
        qputenv("TAVVEL_RENDERER", c.forced);
        std::unique_ptr<VideoRenderer> renderer;
        const QStringList lines = playertest::capturedStdout([&] {
                                      renderer = makeVideoRenderer();
                                  }).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_TRUE(renderer) << c.forced;
        EXPECT_EQ(renderer->name(), c.name) << c.forced;
        ASSERT_EQ(lines.size(), 1) << lines.join('|').toStdString();
        EXPECT_TRUE(lines.front().startsWith(QStringLiteral("video renderer: ") + c.name))
            << lines.front().toStdString();
        EXPECT_TRUE(lines.front().contains(QLatin1String(c.reason))) << lines.front().toStdString();
    }
    qunsetenv("TAVVEL_RENDERER");
    if (x11) {
        EXPECT_TRUE(probe && OpenGLRenderer::isSoftwareRasterizer(probe->glRenderer()))
            << (probe ? probe->glRenderer().toStdString() : why.toStdString());
    }
}
