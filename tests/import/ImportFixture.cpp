#include "ImportFixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdlib>

namespace importtest {

QString testVideo(const QString& name) {
    return QDir(QStringLiteral(TAVVEL_TEST_VIDEOS_DIR)).filePath(name);
}

QImage ffmpegFrame(const QString& path, double seconds) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("frame.png"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-hide_banner", "-nostdin", "-loglevel", "error", "-y", "-ss",
                                            QString::number(seconds), "-i", path, "-frames:v", "1", out});
    if (!ffmpeg.waitForFinished(30000) || ffmpeg.exitCode() != 0) {
        ADD_FAILURE() << "ffmpeg failed: " << ffmpeg.readAllStandardError().toStdString();
        return {};
    }
    return QImage(out);
}

double meanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    double total = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < x.width() * 3; ++i)
            total += std::abs(int(p[i]) - int(q[i]));
    }
    return total / (double(x.width()) * x.height() * 3);
}

QString dominantColour(const QImage& image, int x, int y) {
    const QColor c = image.pixelColor(x, y);
    if (c.red() > 180 && c.green() < 80 && c.blue() < 80)
        return QStringLiteral("red");
    if (c.blue() > 180 && c.red() < 80 && c.green() < 80)
        return QStringLiteral("blue");
    return QStringLiteral("other(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

}  // namespace importtest
