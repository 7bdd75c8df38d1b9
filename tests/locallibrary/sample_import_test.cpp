// The first-run import over the real batch, import and database, with the samples this build made.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

#include "MainWindow/locallibrary/ImportBatch.h"
#include "MainWindow/locallibrary/SampleVideoImport.h"
#include "platform/DistributedNotificationCenter.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"
#include "support/MainWindowTestSupport.h"

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

TEST_F(FirstRun, WithoutSamplesTheFlagsAreSetAndTheTabStays) {
    Preferences& settings = Preferences::shared();
    settings.setIsOpenPlayer(false);
    QTemporaryDir empty;
    Calls run;
    auto import = sampleImport(run, empty.path());
    import->importSampleVideosIfNeeded();
    ASSERT_TRUE(QTest::qWaitFor([&] { return settings.alreadyImportVideo(); }, 10000));
    EXPECT_EQ(run.batches, 1);
    EXPECT_EQ(run.tabSwitches, 0);
    EXPECT_EQ(settings.playingVideoSign(), QString());
    EXPECT_TRUE(settings.isOpenPlayer());
    EXPECT_FALSE(import->isRunning());
}
