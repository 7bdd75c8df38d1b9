// The download tab's rows: state texts (also of replies larger than their record), the percentage
// of unknown and odd sizes, and the state icon acting on its own item after the queue changed.
#include "onlinelibrary/OnlineTestSupport.h"

#include "MainWindow/downloads/DownloadItemCell.h"
#include "service/DownloadManager.h"
#include "shared/LocalVideoDBManager.h"
#include "views/ClickableImageView.h"

#include <QLabel>
#include <QProgressBar>
#include <QTcpSocket>
#include <QTimer>

#include <limits>

using onlinetest::catalogueVideo;

TEST(DownloadCell, PercentStaysWithinBoundsAndUnknownSizesShowZero) {
    struct Case {
        qint64 downloaded, total;
        int percent;
    } cases[] = {{0, 0, 0},         {500, 0, 0},       {500, -1, 0},   {0, 1000, 0}, {999, 1000, 99},
                 {1000, 1000, 100}, {5000, 1000, 100}, {-20, 1000, 0}, {1, 3, 33}};
    for (const Case& c : cases)
        EXPECT_EQ(DownloadItemCell::percentOf(c.downloaded, c.total), c.percent) << c.downloaded << "/" << c.total;
    EXPECT_EQ(DownloadItemCell::sizeText(1024, 1048576), QStringLiteral("1.00 KB/1.00 MB"));
}

TEST(DownloadCell, StateTextsAndIconActOnTheirOwnItem) {
    onlinetest::forgetDownloads();
    DownloadManager queue{WebModel::shared(), LocalVideoDBManager::shared()};
    for (const char* sign : {"one", "two", "three"})
        queue.addDownload(catalogueVideo(QString::fromLatin1(sign)));  // refused at once
    ASSERT_TRUE(QTest::qWaitFor([&] {
        for (const auto& item : queue.progressArray())
            if (item->status != ItemStatus::error)
                return false;
        return true;
    }));
    const auto third = queue.progressArray()[2];
    DownloadItemCell cell(third, queue, MainParts::make().images());
    EXPECT_EQ(cell.status->text(), QStringLiteral("Network Error"));
    EXPECT_EQ(cell.status->palette().color(QPalette::WindowText), QColor(255, 59, 48));
    EXPECT_EQ(cell.progressIndicator->value(), 0);
    EXPECT_EQ(cell.percent->text(), QStringLiteral("0 Byte/0 Byte"));
    EXPECT_EQ(cell.downloadImageView->accessibleName(), QStringLiteral("Resume"));

    // The list changed since the cell was made: the click still resumes "three".
    queue.removeDownload(queue.progressArray()[0].get());
    cell.downloadImageView->clickAction();
    EXPECT_NE(third->status, ItemStatus::error);
    EXPECT_EQ(queue.progressArray()[0]->status, ItemStatus::error);
    EXPECT_EQ(queue.progressArray()[1].get(), third.get());

    // A waiting or running item pauses, then resumes into the queue.
    ASSERT_TRUE(QTest::qWaitFor([&] { return third->status == ItemStatus::error; }));
    queue.resumeItem(third.get());
    cell.downloadImageView->clickAction();
    EXPECT_EQ(third->status, ItemStatus::pause);
    EXPECT_EQ(cell.status->text(), QStringLiteral("Pause"));

    // Delete: the item leaves the queue; the cell then does nothing.
    cell.deleteImageView->clickAction();
    EXPECT_EQ(queue.progressArray().size(), 1u);
    EXPECT_FALSE(queue.isDownloading(QStringLiteral("three")));
}

TEST(DownloadCell, AFailedRowSaysWhatFailed) {
    onlinetest::forgetDownloads();
    DownloadManager queue{WebModel::shared(), LocalVideoDBManager::shared()};
    struct Case {
        const char* sign;
        const char* url;
        const char* text;
    } cases[] = {
        {"closed", "http://127.0.0.1:1/closed.mp4", "Network Error"},  // nothing listens there
        {"ftp", "ftp://127.0.0.1/ftp.mp4", "Invalid Address"},
        {"file", "file:///etc/passwd", "Invalid Address"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        // A sign the queue can name a file by: 32 hexadecimal digits.
        VideoDetail video = catalogueVideo(QString::fromLatin1(c.sign).toUtf8().toHex().leftJustified(32, '0'));
        video.url = QString::fromLatin1(c.url);
        queue.addDownload(video);
        const auto item = queue.progressArray().back();
        ASSERT_TRUE(QTest::qWaitFor([&] { return item->status == ItemStatus::error; }));
        DownloadItemCell cell(item, queue, MainParts::make().images());
        EXPECT_EQ(cell.status->text(), QString::fromLatin1(c.text));
        EXPECT_EQ(cell.status->palette().color(QPalette::WindowText), QColor(255, 59, 48));
    }
}

// A reply that holds more than the record's size (endless, longer, or announced so) is the
// server's fault, not the disk's; sizes near the largest number must not overflow either.
TEST(DownloadCell, AReplyLargerThanTheRecordIsBlamedOnTheServer) {
    onlinetest::forgetDownloads();
    testsupport::ServiceStandIn server;
    ASSERT_TRUE(server.start());
    constexpr qint64 kRecordSize = 100000;
    server.addRoute(QStringLiteral("/body/"), [](const testsupport::HttpRequest& request, QTcpSocket* socket) {
        const QString name = request.path.section(u'/', -1);
        testsupport::HeaderList headers{{"Content-Type", "video/mp4"}};
        if (name == QLatin1String("announced"))
            headers.append({"Content-Length", QByteArray::number(std::numeric_limits<qint64>::max())});
        if (name == QLatin1String("short")) {
            testsupport::ServiceStandIn::writeResponse(socket, 200, headers, QByteArray(1000, 'v'), true);
            return;
        }
        socket->write(testsupport::ServiceStandIn::responseHead(200, headers, true));
        // An endless body, as fast as the client takes it.
        auto* pump = new QTimer(socket);
        QObject::connect(pump, &QTimer::timeout, socket, [socket, pump] {
            if (socket->state() != QAbstractSocket::ConnectedState)
                pump->stop();
            else if (socket->bytesToWrite() < 256 * 1024)
                socket->write(QByteArray(64 * 1024, 'v'));
        });
        pump->start(1);
    });
    DownloadManager queue{WebModel::shared(), LocalVideoDBManager::shared()};
    struct Case {
        const char* name;
        qint64 recordSize;
        const char* text;
    } cases[] = {
        {"endless", kRecordSize, "Server Sent More Than Expected"},
        {"announced", kRecordSize, "Server Sent More Than Expected"},
        {"short", std::numeric_limits<qint64>::max() - 10, "Damaged File"},  // received whole, but not the video
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VideoDetail video = catalogueVideo(QString::fromLatin1(c.name).toUtf8().toHex().leftJustified(32, '0'));
        video.url = server.baseUrl() + QStringLiteral("/body/") + QString::fromLatin1(c.name);
        video.size = c.recordSize;
        queue.addDownload(video);
        const auto item = queue.progressArray().back();
        ASSERT_TRUE(QTest::qWaitFor([&] { return item->status == ItemStatus::error; }, 20000));
        DownloadItemCell cell(item, queue, MainParts::make().images());
        EXPECT_EQ(cell.status->text(), QString::fromLatin1(c.text));
        queue.removeDownload(item.get());
    }
}
