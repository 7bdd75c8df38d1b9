// The library screen on a virtual X display with eight imported test clips: the grid shows a
// thumbnail and a title for each.
#include "support/MainWindowTestSupport.h"

#include <QColor>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>

TEST(LibraryOnXDisplay, GridShowsEightClipsWithThumbnails) {
    for (const char* tool : {"Xvfb", "import"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    QStringList clips;
    for (const char* name : {"clip_1280x720.mp4", "clip_1366x768.mov", "clip_1080x1920.mkv", "clip_640x360.webm",
                             "clip_320x180.mp4", "clip_12_7s.mp4", "rotated_90.mp4", "big.mp4"})
        clips << testsupport::testVideo(QString::fromLatin1(name));

    QTemporaryDir dir;
    const QString shot = dir.filePath(QStringLiteral("library.png"));
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("WINDOW"), QStringLiteral(LIBRARY_WINDOW));
    env.insert(QStringLiteral("SHOT"), shot);
    env.insert(QStringLiteral("CLIPS"), clips.join(QLatin1Char(' ')));
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::MergedChannels);
    // The window appears once the imports are in; from then on the screen is taken every half
    // second until this test has seen the eight thumbnails (it leaves SHOT.done) or 30 s passed.
    run.start(QStringLiteral("bash"), {XVFB_RUN, "-s", "-screen 0 1024x700x24", "sh", "-c",
                                       R"("$WINDOW" $CLIPS > "$SHOT.log" 2>&1 & pid=$!
                  for i in $(seq 150); do grep -q shown "$SHOT.log" && break; sleep 0.2; done
                  for i in $(seq 60); do sleep 0.5; [ -e "$SHOT.done" ] && break
                      import -window root "png:$SHOT.new" && mv "$SHOT.new" "$SHOT"; done
                  kill -TERM $pid; wait $pid; cat "$SHOT.log")"});
    // Two rows of four colourful test-pattern thumbnails below the tab headers: sample the middle
    // of each cell's picture (cells share the window's width less a scroll bar's, 110 high).
    auto colourfulCells = [](const QImage& image) {
        int colourful = 0;
        for (int cell = 0; cell < 8; ++cell) {
            // The placeholder is grey; a test pattern has saturated colours.
            bool saturated = false;
            for (int dx = 20; dx < 230; dx += 15)
                saturated |= QColor(image.pixel(cell % 4 * 246 + dx, 70 + cell / 4 * 110)).hsvSaturation() > 150;
            colourful += saturated;
        }
        return colourful;
    };
    QImage image;
    QDateTime taken;
    while (!run.waitForFinished(200)) {
        ASSERT_EQ(run.state(), QProcess::Running);
        const QFileInfo info(shot);
        if (!info.exists() || info.lastModified() == taken)
            continue;
        taken = info.lastModified();
        image.load(shot);
        if (!image.isNull() && colourfulCells(image) == 8)
            QFile(shot + QStringLiteral(".done")).open(QIODevice::WriteOnly);
    }
    const QByteArray output = run.readAll();
    EXPECT_EQ(output.count("imported 0"), 8) << output.toStdString();

    image.load(shot);
    if (const QString keep = qEnvironmentVariable("TAVVEL_SCREENSHOT_DIR"); !keep.isEmpty()) {
        QFile::remove(keep + QStringLiteral("/library_grid.png"));
        QFile::copy(shot, keep + QStringLiteral("/library_grid.png"));
    }
    ASSERT_FALSE(image.isNull()) << output.toStdString();
    EXPECT_EQ(colourfulCells(image), 8);
}
