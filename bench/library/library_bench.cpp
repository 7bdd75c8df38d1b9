// Library list figures, each against a baseline measured in the same run:
// - setting 10,000 videos and painting the first screen, against a QStringListModel of 10,000
//   titles in the same list view with the same cell painter;
// - memory of 500 cached thumbnails, against the same program with an empty model;
// - a second pass over 500 thumbnails (disk cache), against the first (loopback network);
// - memory after 30 scrolls of 2,004 local videos end to end and back, against after the first.
#include "MainWindow/library/ImageLoader.h"
#include "MainWindow/library/LibraryViewModel.h"
#include "MainWindow/startup/MainParts.h"
#include "MainWindow/library/VideoItemCell.h"
#include "MainWindow/library/WQCollectionView.h"
#include "support/FileServing.h"
#include "support/MainWindowTestSupport.h"
#include "support/ServiceStandIn.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
struct Exposed : LibraryViewModel {
    Exposed() : LibraryViewModel(MainParts::make()) {}
    using LibraryViewModel::cacheThumbnail;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<VideoDetail> makeVideos(int count) {
    std::vector<VideoDetail> list;
    list.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        VideoDetail v;
        v.sign = QStringLiteral("%1").arg(i, 32, 16, QLatin1Char('0'));
        v.title = QStringLiteral("Video number %1").arg(i);
        list.push_back(v);
    }
    return list;
}

void drain() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// The library's grid with its cell painter, shown at `size`.
WQCollectionView& showGrid(testsupport::Grid& grid, QSize size) {
    grid.view.setItemDelegate(new VideoItemCell(&grid.view));
    grid.view.resize(size);
    grid.view.show();
    if (!QTest::qWaitForWindowExposed(&grid.view))
        std::fprintf(stderr, "the list was not shown\n");
    return grid.view;
}

// Milliseconds to set 10,000 rows and paint the first screen, median of several runs.
void listFigures() {
    testsupport::Grid grid;
    WQCollectionView& view = showGrid(grid, QSize(900, 600));
    const std::vector<VideoDetail> videos = makeVideos(10000);
    QStringList titles;
    for (const VideoDetail& v : videos)
        titles << v.title;

    std::vector<double> ours, baseline;
    for (int run = 0; run < 15; ++run) {
        {
            QStringListModel strings;
            QElapsedTimer clock;
            clock.start();
            strings.setStringList(titles);
            view.setModel(&strings);
            drain();
            view.viewport()->repaint();
            baseline.push_back(clock.nsecsElapsed() / 1e6);
            view.setModel(nullptr);
        }
        {
            LibraryViewModel model(MainParts::make());
            QElapsedTimer clock;
            clock.start();
            model.bind(&view);
            model.setVideoList(videos);
            drain();
            view.viewport()->repaint();
            ours.push_back(clock.nsecsElapsed() / 1e6);
            model.unbind();
        }
    }
    const double o = median(ours), b = median(baseline);
    std::printf("library set 10,000 videos and paint the first screen: %.2f ms (%.2f x QStringListModel %.2f ms)\n", o,
                o / b, b);
}

QByteArray pngOf(int i) {
    QImage image(QSize(320, 180), QImage::Format_RGB32);
    image.fill(QColor::fromHsv(i % 360, 200, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Loads every address once with `loader` and returns the milliseconds until the last arrived.
double loadAll(ImageLoader& loader, const QStringList& urls, std::vector<QImage>* keep) {
    int left = static_cast<int>(urls.size());
    QElapsedTimer clock;
    clock.start();
    for (const QString& url : urls)
        loader.load(QUrl(url), QSize(213, 76), [&, keep](const QImage& image) {
            if (keep)
                keep->push_back(image);
            --left;
        });
    if (!QTest::qWaitFor([&] { return left == 0; }, 120000))
        std::fprintf(stderr, "%d thumbnails did not arrive\n", left);
    return clock.nsecsElapsed() / 1e6;
}

void thumbnailFigures() {
    QTemporaryDir dir;
    testsupport::ServiceStandIn standIn;
    if (!standIn.start()) {
        std::fprintf(stderr, "cannot start the loopback server\n");
        return;
    }
    testsupport::FileServing files(standIn);
    QStringList urls;
    for (int i = 0; i < 500; ++i) {
        const QString path = dir.filePath(QStringLiteral("t%1.png").arg(i));
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        out.write(pngOf(i));
        out.close();
        files.addFile(QStringLiteral("t%1.png").arg(i), path);
        urls << files.url(QStringLiteral("t%1.png").arg(i));
    }
    const QString cache = dir.filePath(QStringLiteral("cache"));
    double network = 0, disk = 0;
    {
        ImageLoader first(cache);
        first.memory().setMaxMemoryCost(1);  // as start-up sets it: nothing kept in the loader's memory
        network = loadAll(first, urls, nullptr);
    }
    {
        ImageLoader second(cache);
        second.memory().setMaxMemoryCost(1);
        files.resetCounters();
        disk = loadAll(second, urls, nullptr);
        if (!files.requests().isEmpty())
            std::fprintf(stderr, "the second pass asked the server %lld times\n",
                         static_cast<long long>(files.requests().size()));
    }
    std::printf(
        "library 500 thumbnails second pass (disk cache): %.1f ms (%.2f x first pass over the network %.1f ms)\n", disk,
        disk / network, network);

    // Memory: the same program with an empty model, then with the 500 thumbnails (of a
    // 900-pixel-wide window's cells) in its cache.
    drain();
    Exposed model;
    const double before = testsupport::residentMiB();
    {
        ImageLoader third(cache);
        third.memory().setMaxMemoryCost(1);
        std::vector<QImage> images;
        loadAll(third, urls, &images);
        for (size_t i = 0; i < images.size(); ++i)
            model.cacheThumbnail(QString::number(i), images[i]);
    }
    drain();
    const double after = testsupport::residentMiB();
    qint64 pixels = 0;
    for (const QImage& image : model.imageCache())
        pixels += image.sizeInBytes();
    std::printf("library memory with 500 thumbnails cached: %.1f MB (%.2f x empty model %.1f MB; pixels %.1f MB)\n",
                after, after / before, before, pixels / (1024.0 * 1024.0));
}
void scrollFigures(int roundTrips, int pixelsPerFrame) {
    QTemporaryDir dir;
    const QStringList frames = testsupport::writeFrames(dir.path(), 24);
    std::vector<VideoDetail> videos = makeVideos(2004);
    for (size_t i = 0; i < videos.size(); ++i)
        videos[i].imgurl = frames[static_cast<qsizetype>(i % static_cast<size_t>(frames.size()))];
    MainParts parts = MainParts::make();
    parts.images().memory().setMaxMemoryCost(1);  // as start-up sets it
    testsupport::Grid grid;
    WQCollectionView& view = showGrid(grid, QSize(900, 560));
    LibraryViewModel model(parts);
    model.bind(&view);
    model.setVideoList(videos);
    view.viewport()->repaint();
    if (!QTest::qWaitFor([&] { return model.runningThumbnailCount() == 0; }, 20000))
        std::fprintf(stderr, "the first screen's thumbnails did not arrive\n");
    const double firstScreen = testsupport::residentMiB();
    testsupport::scrollEndToEndAndBack(view, pixelsPerFrame);
    const double first = testsupport::residentMiB();
    double last = first;
    for (int trip = 2; trip <= roundTrips; ++trip) {
        testsupport::scrollEndToEndAndBack(view, pixelsPerFrame);
        last = testsupport::residentMiB();
        if (qEnvironmentVariableIsSet("TAVVEL_BENCH_VERBOSE"))
            std::fprintf(stderr, "round trip %d: %.1f MB\n", trip, last);
    }
    std::printf(
        "library memory after %d scrolls of 2,004 videos end to end and back (%d px a frame, 0: a page once its "
        "thumbnails came): %.1f MB (%.2f x the first screen %.1f MB; after the first scroll %.1f MB)\n",
        roundTrips, pixelsPerFrame, last, last / firstScreen, firstScreen, first);
}
}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir xdg;
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        const QString path = xdg.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        qputenv(name, path.toLocal8Bit());
    }
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() > 2 && arguments[1] == QLatin1String("--scroll")) {
        scrollFigures(arguments[2].toInt(), arguments.value(3).toInt());  // the scroll figure alone
        return 0;
    }
    listFigures();
    thumbnailFigures();
    scrollFigures(30, 60);
    return 0;
}
