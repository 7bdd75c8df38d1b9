// The first-run import over the real batch, import and database, with the samples this build made;
// once against a service that holds its requests open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include "MainWindow/library/VideoLibraryViewController.h"
#include "MainWindow/locallibrary/ImportBatch.h"
#include "MainWindow/locallibrary/LocalLibraryParts.h"
#include "MainWindow/locallibrary/ProgressWindow.h"
#include "MainWindow/locallibrary/SampleVideoImport.h"
#include "MainWindow/startup/MainParts.h"
#include "platform/DistributedNotificationCenter.h"
#include "service/LocalLibraryModel.h"
#include "service/WebModel.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"
#include "support/DatabaseLock.h"
#include "support/MainWindowTestSupport.h"
#include "support/ServiceStandIn.h"

#include <algorithm>
#include <optional>

using namespace testsupport;

namespace {
struct Calls {
    int batches = 0;
    int tabSwitches = 0;
};

std::unique_ptr<SampleVideoImport> sampleImport(Calls& run, const QString& directory) {
    auto import = std::make_unique<SampleVideoImport>(
        Preferences::shared(), LocalVideoDBManager::shared(),
        [&run](const QList<QUrl>& urls, std::function<void()> done) {
            ++run.batches;
            ImportBatch::start(urls, {}, std::move(done), LocalLibraryModel::shared(),
                               platform::DistributedNotificationCenter::defaultCenter());
        },
        [&run] { ++run.tabSwitches; });
    import->sampleDirectory = directory;
    return import;
}

// A first start: an empty library, never imported.
class FirstRun : public testing::Test {
protected:
    void SetUp() override {
        useUnreachableService();
        emptyLibrary();
        Preferences::shared().setAlreadyImportVideo(false);
    }
};
}  // namespace

TEST_F(FirstRun, ImportsTheFourSamplesOnceAndPlaysTheLast) {
    Preferences& settings = Preferences::shared();
    ASSERT_FALSE(settings.alreadyImportVideo());
    ASSERT_EQ(SampleVideoImport::sampleVideoUrls(QStringLiteral(TAVVEL_SAMPLES_DIR)).size(), 4);
    Calls run;
    auto import = sampleImport(run, QStringLiteral(TAVVEL_SAMPLES_DIR));
    import->importSampleVideosIfNeeded();
    // The screen shown again while the batch runs starts nothing more.
    import->importSampleVideosIfNeeded();
    EXPECT_TRUE(import->isRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return settings.alreadyImportVideo(); }, 60000));

    EXPECT_EQ(run.batches, 1);
    EXPECT_EQ(run.tabSwitches, 1);
    EXPECT_EQ(libraryTitles(), SampleVideoImport::sampleTitles());
    ASSERT_FALSE(librarySigns().isEmpty());
    EXPECT_EQ(settings.playingVideoSign(), librarySigns().back());
    EXPECT_TRUE(settings.isOpenPlayer());

    import->importSampleVideosIfNeeded();
    EXPECT_EQ(run.batches, 1);
}

// Without samples the flags are set and the tab stays; the playing video becomes the empty text
// of the empty library, but stays what it was when another program holds the library past the
// wait (a busy file says nothing of its rows).
TEST_F(FirstRun, WithoutSamplesTheFlagsAreSetAndTheTabStays) {
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "library held" : "library free");
        Preferences& settings = Preferences::shared();
        settings.setAlreadyImportVideo(false);
        settings.setIsOpenPlayer(false);
        settings.setPlayingVideoSign(QStringLiteral("chosen"));
        std::optional<WriteLock> holder;
        if (held)
            holder.emplace();
        QTemporaryDir empty;
        Calls run;
        auto import = sampleImport(run, empty.path());
        import->importSampleVideosIfNeeded();
        ASSERT_TRUE(QTest::qWaitFor([&] { return settings.alreadyImportVideo(); }, 10000));
        EXPECT_EQ(run.batches, 1);
        EXPECT_EQ(run.tabSwitches, 0);
        EXPECT_EQ(settings.playingVideoSign(), held ? QStringLiteral("chosen") : QString());
        EXPECT_TRUE(settings.isOpenPlayer());
        EXPECT_FALSE(import->isRunning());
    }
}

TEST_F(FirstRun, ALostSettingsFileImportsTheSamplesAgainWithoutAnAlert) {
    Preferences& settings = Preferences::shared();
    // Twice: a new installation, then the same library after the settings file was emptied.
    for (const char* run : {"first", "after the settings were lost"}) {
        SCOPED_TRACE(run);
        settings.setAlreadyImportVideo(false);
        VideoLibraryViewController screen(MainParts::make());
        screen.localParts()->sampleImport()->sampleDirectory = QStringLiteral(TAVVEL_SAMPLES_DIR);
        screen.view()->resize(900, 600);
        screen.view()->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return settings.alreadyImportVideo(); }, 60000));
        drain();
        EXPECT_EQ(libraryTitles(), SampleVideoImport::sampleTitles());
        for (QWidget* top : QApplication::topLevelWidgets())
            EXPECT_FALSE(qobject_cast<QMessageBox*>(top) && top->isVisible())
                << static_cast<QMessageBox*>(top)->text().toStdString();
    }
}

// A service that holds the video-detail request open (a reply trickling in, byte by byte): the
// first start shows its progress window meanwhile and is over within one request deadline plus a
// margin, with the samples' own records, instead of waiting the deadline out once per sample.
TEST_F(FirstRun, AServiceThatHoldsTheRequestOpenDelaysTheFirstStartOnce) {
    testsupport::ServiceStandIn service;
    ASSERT_TRUE(service.start());
    service.setReply(504, testsupport::ScriptedReply::trickle());
    WebModel web(service.baseUrl(), /*startTimers=*/false);
    LocalLibraryModel importer(web, LocalVideoDBManager::shared());
    MainParts parts = MainParts::make();
    parts.importer = [&importer]() -> LocalLibraryModel& { return importer; };
    Preferences& settings = Preferences::shared();

    QElapsedTimer took;
    took.start();
    VideoLibraryViewController screen(parts);
    screen.localParts()->sampleImport()->sampleDirectory = QStringLiteral(TAVVEL_SAMPLES_DIR);
    screen.view()->resize(900, 600);
    screen.view()->show();
    ASSERT_TRUE(service.waitForRequests(1, 10000));
    const auto progressShown = [&] {
        const auto windows = screen.view()->window()->findChildren<ProgressWindowController*>();
        return std::any_of(windows.begin(), windows.end(), [](QWidget* w) { return w->isVisible(); });
    };
    EXPECT_TRUE(progressShown());  // while the service holds the first sample's request
    ASSERT_TRUE(QTest::qWaitFor([&] { return settings.alreadyImportVideo(); }, 4 * WebModel::kRequestDeadlineMs));
    EXPECT_LT(took.elapsed(), 2 * WebModel::kRequestDeadlineMs);
    EXPECT_GE(took.elapsed(), WebModel::kRequestDeadlineMs - 100);  // the first request was waited for
    drain();
    EXPECT_FALSE(progressShown());
    EXPECT_EQ(libraryTitles(), SampleVideoImport::sampleTitles());
    EXPECT_EQ(service.requestCount(), 1);  // the silent service was not asked again for each sample
}
