// Import batches end to end: the real import and database, the real progress window and alerts,
// "UpdateVideoList" on this test's own session bus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QThread>
#include <QWidget>

#include "LibraryTestSupport.h"
#include "MainWindow/Controller/ImportBatch.h"
#include "MainWindow/View/ProgressWindow.h"
#include "platform/DistributedNotificationCenter.h"
#include "service/VideoSign.h"
#include "shared/LocalVideoDBManager.h"

using namespace librarytest;

namespace {

QStringList openAlerts() {
    QStringList texts;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            texts << box->text();
    return texts;
}

void closeAlerts() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(widget))
            widget->close();
    QCoreApplication::processEvents();
}

qsizetype shownProgressWindows(QWidget* main) {
    const auto windows = main->findChildren<ProgressWindowController*>();
    return std::count_if(windows.begin(), windows.end(), [](QWidget* w) { return w->isVisible(); });
}

bool progressWindowShown(QWidget* main) {
    return shownProgressWindows(main) > 0;
}

class ImportBatchTest : public testing::Test {
protected:
    void SetUp() override {
        useUnreachableService();
        main.resize(800, 600);
        main.show();
        updates = platform::DistributedNotificationCenter::defaultCenter().addObserver(
            ImportBatch::updateVideoListNotification, nullptr, [this] { log.add(QStringLiteral("UpdateVideoList")); });
    }
    void TearDown() override { closeAlerts(); }

    // The real window hooks, each step also written to the log.
    ImportBatchHooks loggedHooks() {
        ImportBatchHooks real = importWindowHooks(&main, {});
        ImportBatchHooks hooks;
        // Logged as "window" and "close" only when the real window did show and go.
        hooks.showProgressWindow = [this, real]() -> std::function<void()> {
            const qsizetype before = shownProgressWindows(&main);
            auto close = real.showProgressWindow();
            log.add(shownProgressWindows(&main) == before + 1 ? QStringLiteral("window") : QStringLiteral("no window"));
            return [this, close] {
                const qsizetype open = shownProgressWindows(&main);
                close();
                log.add(shownProgressWindows(&main) == open - 1 ? QStringLiteral("close")
                                                                : QStringLiteral("window stays"));
            };
        };
        hooks.showImportResult = [this, real](ImportVideoStatus status) {
            log.add(QStringLiteral("alert %1").arg(int(status)));
            real.showImportResult(status);
        };
        hooks.reload = [this] { log.add(QStringLiteral("reload")); };
        return hooks;
    }

    // Starts a batch whose completion is logged with the thread it ran on.
    void startBatch(const QList<QUrl>& urls, LocalLibraryModel* importer) {
        ImportBatch::start(
            urls, loggedHooks(),
            [this] {
                const bool onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
                log.add(onMain ? QStringLiteral("completion on main") : QStringLiteral("completion"));
            },
            importer);
    }

    bool waitForUpdates(int count) {
        return QTest::qWaitFor([&] { return log.events().count(QStringLiteral("UpdateVideoList")) >= count; }, 30000);
    }

    QWidget main;
    QTemporaryDir sources;
    EventLog log;
    DisposablePtr updates;
};

QUrl fileUrl(const QString& path) {
    return QUrl::fromLocalFile(path);
}

}  // namespace

TEST_F(ImportBatchTest, OneFileAtATimeWhateverThreadOrDelayTheAnswerComesOn) {
    const QString clip = copyOfClip(sources, QStringLiteral("clip_320x180.mp4"));
    const QString noVideo = copyOfClip(sources, QStringLiteral("audio_only.mp4"));
    const QString sign = *videoSign(clip);
    for (const Delivery delivery : {Delivery::OtherThread, Delivery::Late, Delivery::Synchronous}) {
        SCOPED_TRACE(int(delivery));
        log.clear();
        // The synchronous importer only looks at the database, where the run before left the clip.
        if (delivery != Delivery::Synchronous)
            LocalVideoDBManager::shared().deleteVideoWithSign(sign);
        RelayingImporter importer(delivery);
        const QList<QUrl> urls = delivery == Delivery::Synchronous
                                     ? QList<QUrl>{fileUrl(clip), fileUrl(noVideo)}
                                     : QList<QUrl>{fileUrl(clip), fileUrl(clip), fileUrl(noVideo)};
        startBatch(urls, &importer);
        // The caller is never held: the window comes on the next turn of the event loop.
        EXPECT_FALSE(log.contains(QStringLiteral("window")));
        ASSERT_TRUE(waitForUpdates(1));

        EXPECT_EQ(importer.calls, urls.size());
        EXPECT_EQ(importer.mostInFlight, 1);
        QStringList events = log.events();
        // The completion runs on the batch's worker while the main thread closes and reloads, but
        // always before the notice goes out.
        ASSERT_EQ(events.count(QStringLiteral("completion")), 1) << events.join(", ").toStdString();
        EXPECT_LT(events.indexOf(QStringLiteral("completion")), events.indexOf(QStringLiteral("UpdateVideoList")));
        events.removeAll(QStringLiteral("completion"));
        EXPECT_EQ(events, QStringList({"window", "alert 2", "alert 1", "close", "reload", "UpdateVideoList"}))
            << events.join(", ").toStdString();

        EXPECT_FALSE(progressWindowShown(&main));
        QStringList alerts = openAlerts();
        alerts.sort();
        EXPECT_EQ(alerts, QStringList({"This video exists", "This video format is not supported"}));
        closeAlerts();
        EXPECT_TRUE(LocalVideoDBManager::shared().videoWithSign(sign).has_value());
    }
}

TEST_F(ImportBatchTest, AnEmptyBatchEndsTheSameWay) {
    startBatch({}, nullptr);
    ASSERT_TRUE(waitForUpdates(1));
    QStringList events = log.events();
    EXPECT_TRUE(events.removeAll(QStringLiteral("completion")) == 1);
    EXPECT_EQ(events, QStringList({"window", "close", "reload", "UpdateVideoList"}));
    EXPECT_TRUE(openAlerts().isEmpty());
}

TEST_F(ImportBatchTest, BatchesOneAfterAnotherNeverRaceOnAFile) {
    const QString clip = copyOfClip(sources, QStringLiteral("clip_1366x768.mov"), QStringLiteral("Harbour.MOV"));
    RelayingImporter importer(Delivery::Late);
    // The same file in two batches started together, as a second drop during the first would.
    startBatch({fileUrl(clip)}, &importer);
    startBatch({fileUrl(clip)}, &importer);
    ASSERT_TRUE(waitForUpdates(2));
    EXPECT_EQ(importer.calls, 2);
    EXPECT_EQ(importer.mostInFlight, 1);
    EXPECT_EQ(openAlerts(), QStringList{"This video exists"});

    const QString sign = *videoSign(clip);
    int rows = 0;
    for (const VideoDetail& video : LocalVideoDBManager::shared().allVideos())
        rows += video.sign == sign;
    EXPECT_EQ(rows, 1);
    const QStringList copies = QDir(LocalLibraryModel::downloadVideoDirectory().toLocalFile())
                                   .entryList({QStringLiteral("*.MOV"), QStringLiteral("*.mov")}, QDir::Files);
    EXPECT_EQ(copies, QStringList{"Harbour.MOV"});
    // Each batch had its own window and closed it before the next one's end.
    QStringList events = log.events();
    events.removeAll(QStringLiteral("completion"));
    EXPECT_EQ(events, QStringList({"window", "window", "close", "reload", "UpdateVideoList", "alert 2", "close",
                                   "reload", "UpdateVideoList"}))
        << events.join(", ").toStdString();
}
