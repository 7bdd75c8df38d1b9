// The download tab's rows: state texts, the percentage of unknown and odd sizes, and the
// state icon acting on its own item after the queue changed.
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

// A reply past the record's size (endless, or announced so) is the server's fault, not the disk's;
// a size near the largest number must not overflow.
TEST(DownloadCell, AFailedRowSaysWhatFailed) {
    onlinetest::forgetDownloads();
    testsupport::ServiceStandIn server;
    ASSERT_TRUE(server.start());
    server.addRoute(QStringLiteral("/body/"), [](const testsupport::HttpRequest& request, QTcpSocket* socket) {
        testsupport::HeaderList headers{{"Content-Type", "video/mp4"}};
        if (request.path.endsWith(QLatin1String("short")))
            return testsupport::ServiceStandIn::writeResponse(socket, 200, headers, QByteArray(1000, 'v'), true);
        if (request.path.endsWith(QLatin1String("announced")))
            headers.append({"Content-Length", QByteArray::number(std::numeric_limits<qint64>::max())});
        socket->write(testsupport::ServiceStandIn::responseHead(200, headers, true));
        auto* pump = new QTimer(socket);  // an endless body, as fast as the client takes it
        QObject::connect(pump, &QTimer::timeout, socket, [socket] {
            if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 256 * 1024)
                socket->write(QByteArray(64 * 1024, 'v'));
        });
        pump->start(1);
    });
    const QString body = server.baseUrl() + QStringLiteral("/body/");
    DownloadManager queue{WebModel::shared(), LocalVideoDBManager::shared()};
    struct Case {
        const char* sign;
        QString url;
        const char* text;
        qint64 size = 0;
    } cases[] = {
        {"closed", "http://127.0.0.1:1/closed.mp4", "Network Error"},  // nothing listens there
        {"ftp", "ftp://127.0.0.1/ftp.mp4", "Invalid Address"},
        {"file", "file:///etc/passwd", "Invalid Address"},
        {"endless", body + "endless", "Server Sent More Than Expected", 100000},
        {"announced", body + "announced", "Server Sent More Than Expected", 100000},
        {"short", body + "short", "Damaged File", std::numeric_limits<qint64>::max() - 10},  // whole, but not the video
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sign);
        // A sign the queue can name a file by: 32 hexadecimal digits.
        VideoDetail video = catalogueVideo(QString::fromLatin1(c.sign).toUtf8().toHex().leftJustified(32, '0'));
        video.url = c.url;
        video.size = c.size;
        queue.addDownload(video);
        const auto item = queue.progressArray().back();
        ASSERT_TRUE(QTest::qWaitFor([&] { return item->status == ItemStatus::error; }, 20000));
        DownloadItemCell cell(item, queue, MainParts::make().images());
        EXPECT_EQ(cell.status->text(), QString::fromLatin1(c.text));
        EXPECT_EQ(cell.status->palette().color(QPalette::WindowText), QColor(255, 59, 48));
        cell.resize(600, cell.sizeHint().height());  // the width of the list's rows
        onlinetest::screenshot(&cell, QStringLiteral("download_row_") + QString::fromLatin1(c.sign));
    }
}
