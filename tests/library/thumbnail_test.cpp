// Grid thumbnails against a loopback server: one load per sign, late pictures, cancellation,
// the cache bound, addresses that need encoding, local files and the disk cache.
#include "MainWindow/library/ImageLoader.h"
#include "MainWindow/library/LibraryViewModel.h"
#include "MainWindow/library/VideoItemCell.h"
#include "support/FileServing.h"
#include "support/MainWindowTestSupport.h"
#include "support/ServiceStandIn.h"
#include "support/TestPictures.h"

#include <QDir>
#include <QDirIterator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QElapsedTimer>

#include <sys/stat.h>

using namespace testsupport;

namespace {
QString writePng(const QString& path, QColor colour) {
    return writeFile(path, pngBytes(colour, QSize(64, 36)));
}

class Thumbnails : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        ASSERT_TRUE(standIn.start());
        loader = std::make_unique<ImageLoader>(dir.filePath(QStringLiteral("cache")));
        ASSERT_TRUE(showExposed(&grid.view, QSize(700, 400)));
        model.bind(&grid.view);
    }
    // Serves a coloured PNG under `name` and returns its address.
    QString serve(const QString& name, QColor colour) {
        files.addFile(name, writePng(dir.filePath(QString::number(qHash(name)) + QStringLiteral(".png")), colour));
        return files.url(name);
    }
    int requestsFor(const QString& name) const {
        int count = 0;
        for (const auto& r : files.requests())
            count += r.name == name;
        return count;
    }
    QImage thumbnailOf(int row) const { return model.index(row).data(LibraryViewModel::ThumbnailRole).value<QImage>(); }

    QTemporaryDir dir;
    ServiceStandIn standIn;
    FileServing files{standIn};
    std::unique_ptr<ImageLoader> loader;
    Grid grid;
    WQCollectionView& view = grid.view;
    LibraryViewModel model{withLoader(MainParts::make())};

private:
    // Thumbnails come through this test's loader, made in SetUp.
    MainParts withLoader(MainParts parts) {
        parts.images = [this]() -> ImageLoader& { return *loader; };
        return parts;
    }
};

// Answers "/slow/<name>" after `delayMs` with the PNG, or never when the delay is negative.
void addSlowRoute(ServiceStandIn& standIn, const QByteArray& png, int delayMs) {
    standIn.addRoute(QStringLiteral("/slow/"), [png, delayMs](const HttpRequest&, QTcpSocket* socket) {
        if (delayMs < 0)
            return;
        QTimer::singleShot(delayMs, socket, [socket, png] {
            ServiceStandIn::writeResponse(socket, 200, {{"Content-Type", "image/png"}}, png, true);
        });
    });
}
}  // namespace

TEST_F(Thumbnails, RowsOfOneSignShareOneLoadAndAllGetThePicture) {
    const QString red = serve(QStringLiteral("red.png"), Qt::red);
    const QString blue = serve(QStringLiteral("blue.png"), Qt::blue);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setVideoList(std::vector<VideoDetail>{video(QStringLiteral("r"), {}, red),
                                                video(QStringLiteral("b"), {}, blue),
                                                video(QStringLiteral("r"), {}, red)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.imageCache().size() == 2; }));
    drain();
    EXPECT_EQ(requestsFor(QStringLiteral("red.png")), 1);
    EXPECT_EQ(requestsFor(QStringLiteral("blue.png")), 1);
    std::set<int> rows;
    for (const QList<QVariant>& args : changed)
        rows.insert(args.at(0).toModelIndex().row());
    EXPECT_EQ(rows, (std::set<int>{0, 1, 2}));
    // Filled to twice the cell's thumbnail area.
    EXPECT_EQ(thumbnailOf(2).size(), view.thumbnailSize() * 2);
    EXPECT_EQ(thumbnailOf(2).pixelColor(4, 4), QColor(Qt::red));
    EXPECT_EQ(model.runningThumbnailCount(), 0);

    // Painting the rows again loads nothing more.
    view.viewport()->repaint();
    drain();
    EXPECT_EQ(files.requests().size(), 2);
}

TEST_F(Thumbnails, ALatePictureLandsOnTheRowsOfItsSignOnly) {
    addSlowRoute(standIn, pngBytes(Qt::green, QSize(32, 18)), 400);
    const QString slow = standIn.baseUrl() + QStringLiteral("/slow/x.png");
    model.setVideoList(std::vector<VideoDetail>{video(QStringLiteral("x"), {}, slow), video(QStringLiteral("y"))});
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.isLoadingThumbnail(QStringLiteral("x")); }));
    // The list changes while the picture is on its way: another video now sits in row 0.
    model.setVideoList(std::vector<VideoDetail>{video(QStringLiteral("z")), video(QStringLiteral("w")),
                                                video(QStringLiteral("x"), {}, slow)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.imageCache().contains(QStringLiteral("x")); }));
    drain();
    EXPECT_TRUE(thumbnailOf(0).isNull());  // no address: the placeholder, not another video's picture
    EXPECT_TRUE(thumbnailOf(1).isNull());
    EXPECT_EQ(thumbnailOf(2).pixelColor(2, 2), QColor(Qt::green));
}

TEST_F(Thumbnails, LeavingTheDisplayOrTheTabCancelsTheLoad) {
    addSlowRoute(standIn, QByteArray(), -1);  // never answers
    std::vector<VideoDetail> list = videos(60);
    list[0].imgurl = standIn.baseUrl() + QStringLiteral("/slow/first.png");
    list[59].imgurl = standIn.baseUrl() + QStringLiteral("/slow/last.png");
    model.setVideoList(list);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.isLoadingThumbnail(QStringLiteral("v0")); }));
    EXPECT_FALSE(model.isLoadingThumbnail(QStringLiteral("v59")));  // never on screen

    view.setContentOffset(view.verticalScrollBar()->maximum());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.isLoadingThumbnail(QStringLiteral("v59")); }));
    EXPECT_FALSE(model.isLoadingThumbnail(QStringLiteral("v0")));
    EXPECT_EQ(model.runningThumbnailCount(), 1);

    model.cancelThumbnailDownloads();
    EXPECT_EQ(model.runningThumbnailCount(), 0);
    QTest::qWait(100);
    EXPECT_TRUE(model.imageCache().isEmpty());
}

TEST_F(Thumbnails, AddressesWithSpacesOrNonAsciiLettersLoadEncoded) {
    struct Case {
        QString name;
        QColor colour;
    };
    const Case cases[] = {{QStringLiteral("with space.png"), Qt::yellow}, {QStringLiteral("grün bild.png"), Qt::cyan}};
    std::vector<VideoDetail> list;
    for (const Case& c : cases) {
        serve(c.name, c.colour);
        list.push_back(video(c.name, {}, files.url(c.name)));  // the raw text, as the service sends it
    }
    model.setVideoList(list);
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.imageCache().size() == 2; }));
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(thumbnailOf(row).pixelColor(2, 2), cases[row].colour) << cases[row].name.toStdString();

    struct UrlCase {
        QString text;
        std::optional<QString> encoded;
    };
    const UrlCase urls[] = {
        {QStringLiteral("http://h/a b.png"), QStringLiteral("http://h/a%20b.png")},
        {QStringLiteral("http://h/ü.png?x=1"), QStringLiteral("http://h/%C3%BC.png?x=1")},
        {QStringLiteral("file:///tmp/t.png"), QStringLiteral("file:///tmp/t.png")},
        {QStringLiteral("no scheme"), std::nullopt},
        {QString(), std::nullopt},
    };
    for (const UrlCase& u : urls) {
        const std::optional<QUrl> url = ImageLoader::looseUrl(u.text);
        EXPECT_EQ(url ? std::optional(url->toString(QUrl::FullyEncoded)) : std::nullopt, u.encoded)
            << u.text.toStdString();
    }
}

TEST_F(Thumbnails, TheCacheKeepsFiveHundredAndAlwaysTheNewest) {
    struct Exposed : LibraryViewModel {
        Exposed() : LibraryViewModel(MainParts::make()) {}
        using LibraryViewModel::cacheThumbnail;
    } cache;
    QImage image(4, 4, QImage::Format_RGB32);
    for (int i = 0; i < 501; ++i)
        cache.cacheThumbnail(QStringLiteral("s%1").arg(i), image);
    EXPECT_EQ(cache.imageCache().size(), 500);
    EXPECT_TRUE(cache.imageCache().contains(QStringLiteral("s500")));
    EXPECT_FALSE(cache.imageCache().contains(QStringLiteral("s0")));
    // Replacing a kept picture evicts nothing.
    cache.cacheThumbnail(QStringLiteral("s500"), image);
    EXPECT_EQ(cache.imageCache().size(), 500);
    EXPECT_TRUE(cache.imageCache().contains(QStringLiteral("s1")));
}

TEST_F(Thumbnails, LocalFilesSkipTheNetworkAndTheDiskCacheServesASecondPass) {
    const QString local = writePng(dir.filePath(QStringLiteral("local thumb.png")), Qt::magenta);
    const QString remote = serve(QStringLiteral("remote.png"), Qt::darkGreen);
    model.setVideoList(std::vector<VideoDetail>{
        video(QStringLiteral("l"), {}, QUrl::fromLocalFile(local).toString(QUrl::FullyEncoded)),
        video(QStringLiteral("n"), {}, remote)});
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.imageCache().size() == 2; }));
    EXPECT_EQ(thumbnailOf(0).pixelColor(2, 2), QColor(Qt::magenta));
    EXPECT_EQ(files.requests().size(), 1);

    // A new loader on the same disk cache (as at the next launch) answers from the disk.
    ImageLoader next(dir.filePath(QStringLiteral("cache")));
    QImage second;
    next.load(QUrl(remote), QSize(20, 10), [&](const QImage& image) { second = image; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !second.isNull(); }));
    EXPECT_EQ(files.requests().size(), 1);
    EXPECT_EQ(second.size(), QSize(40, 20));
    // Only the remote picture is on disk.
    int cached = 0;
    QDirIterator it(dir.filePath(QStringLiteral("cache")), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++cached;
    }
    EXPECT_EQ(cached, 1);

    // Cancelled tickets never call back; a failed address calls back with nothing.
    bool called = false;
    const ImageLoader::Ticket ticket = next.load(QUrl(remote), QSize(20, 10), [&](const QImage&) { called = true; });
    next.cancel(ticket);
    QImage failed(1, 1, QImage::Format_RGB32);
    next.load(QUrl(files.url(QStringLiteral("missing.png"))), QSize(), [&](const QImage& image) { failed = image; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed.isNull(); }));
    EXPECT_FALSE(called);
}

TEST_F(Thumbnails, AFailedThumbnailIsAskedForAgainOnlyWhenItsCellIsConfiguredAnew) {
    std::vector<VideoDetail> list = videos(8);
    for (VideoDetail& v : list)
        v.imgurl = files.url(v.sign + QStringLiteral(".png"));  // none is served: each is a 404
    model.setVideoList(list);
    auto settled = [&](qsizetype requests) {
        return QTest::qWaitFor(
            [&] { return files.requests().size() == requests && model.runningThumbnailCount() == 0; });
    };
    ASSERT_TRUE(settled(8));
    // A load starts during the paint that asks for it, so none running right after one means none asked.
    for (int i = 0; i < 10; ++i) {
        view.viewport()->repaint();
        EXPECT_EQ(model.runningThumbnailCount(), 0) << "repaint " << i;
        drain();
    }
    EXPECT_EQ(files.requests().size(), 8);
    // A reload configures the cells again: each failed picture is asked for once more.
    view.reloadData();
    view.viewport()->repaint();
    EXPECT_TRUE(settled(16));
}

TEST_F(Thumbnails, SpecialFilesAreNeverReadAndNeverHoldTheLoaderUp) {
    const QString fifo = dir.filePath(QStringLiteral("picture.fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = dir.filePath(QStringLiteral("folder.png"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString paths[] = {fifo, QStringLiteral("/dev/zero"), folder, fifo};
    auto own = std::make_unique<ImageLoader>(dir.filePath(QStringLiteral("own cache")));
    int answered = 0;
    for (const QString& path : paths)
        own->load(QUrl::fromLocalFile(path), QSize(20, 10), [&](const QImage& image) {
            EXPECT_TRUE(image.isNull());
            ++answered;
        });
    // A real picture still comes through both decoders after them.
    QImage real;
    own->load(QUrl::fromLocalFile(writePng(dir.filePath(QStringLiteral("real.png")), Qt::cyan)), QSize(),
              [&](const QImage& image) { real = image; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !real.isNull() && answered == 4; }));
    QElapsedTimer ending;
    ending.start();
    own.reset();
    EXPECT_LT(ending.elapsed(), ImageLoader::kDecodeWaitMs);
}

TEST_F(Thumbnails, ScrollingALongListKeepsTheWindowLight) {
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer's allocator keeps freed blocks back: only the plain build measures this.
    GTEST_SKIP();
#endif
    // 2,000 local videos over the frames the import writes; the loader keeps nothing, as at start-up.
    const QStringList frames = writeFrames(dir.path(), 24);
    std::vector<VideoDetail> list = videos(2000);
    for (size_t i = 0; i < list.size(); ++i)
        list[i].imgurl = frames[static_cast<qsizetype>(i % 24)];
    loader->memory().setMaxMemoryCost(1);
    view.setItemDelegate(new VideoItemCell(&view));
    model.setVideoList(list);
    view.viewport()->repaint();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.runningThumbnailCount() == 0 && !model.imageCache().isEmpty(); }));
    const double start = residentMiB();
    // Every row's picture loaded on the way down and again on the way up.
    ASSERT_TRUE(scrollEndToEndAndBack(view));
    qsizetype kept = 0;
    for (const QImage& image : model.imageCache())
        kept += image.sizeInBytes();
    EXPECT_LE(kept, LibraryViewModel::kThumbnailCacheBytes);
    EXPECT_TRUE(model.imageCache().contains(list.front().sign));  // the rows on screen keep theirs
    // The decoders' pictures freed meanwhile are not kept in the heaps either.
    EXPECT_LT(residentMiB(), start + 20) << "first screen " << start << " MiB";
}
