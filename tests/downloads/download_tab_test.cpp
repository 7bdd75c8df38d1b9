// The download tab's rows: state texts, the percentage of unknown and odd sizes, and the
// state icon acting on its own item after the queue changed.
#include "onlinelibrary/OnlineTestSupport.h"

#include "MainWindow/downloads/DownloadItemCell.h"
#include "service/DownloadManager.h"
#include "shared/LocalVideoDBManager.h"
#include "views/ClickableImageView.h"

#include <QLabel>
#include <QProgressBar>

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
