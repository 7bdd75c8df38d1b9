// The first start of the real programs on empty folders, on this test's own session bus: the
// library screen imports the samples, the wallpaper goes on and the desktop player starts.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <csignal>

#include "platform/AppLauncher.h"
#include "platform/BusName.h"
#include "shared/AppInfo.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"
#include "support/DatabaseLock.h"
#include "support/MainWindowTestSupport.h"
#include "support/ProcessHelpers.h"

using testsupport::writtenSuite;

namespace {
void startTavvel(QProcess& process) {
    testsupport::useUnreachableService();
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
    testsupport::startChild(process, QStringLiteral(TAVVEL_MAIN_PROGRAM), {});
}

void stop(QProcess& process) {
    process.terminate();
    process.waitForFinished(15000);
}

// The player Tavvel started outlives it (it is started on its own): stopped here once it has
// taken its name, or one still starting would play on, unseen, after the test's bus is gone.
void stopPlayer() {
    const QString helper = QString::fromLatin1(platform::kHelperIdentifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return platform::isBusNameOwned(helper); }, 30000));
    const QDBusReply<uint> player = QDBusConnection::sessionBus().interface()->servicePid(helper);
    ASSERT_TRUE(player.isValid());
    testsupport::signalProcess(player.value(), SIGTERM);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !platform::isBusNameOwned(helper); }, 15000));
}

// Every case starts on the folders of a first start, whatever a case before it in this process
// left: no library, no video or picture, and the settings a first start finds.
class FirstStart : public testing::Test {
protected:
    void SetUp() override {
        QDir support(AppInfo::applicationSupport());
        ASSERT_TRUE(support.removeRecursively() && QDir().mkpath(support.path()));
        platform::DefaultsSuite& settings = writtenSuite();
        settings.setBool(PreferencesKey::alreadyImportVideo, false);
        settings.remove(PreferencesKey::currentVideoSign);
        ASSERT_TRUE(settings.synchronize());
    }
};
}  // namespace

TEST_F(FirstStart, ImportsTheSamplesPlaysTheLastAndStartsThePlayerOnce) {
    const QString helper = QString::fromLatin1(platform::kHelperIdentifier);
    QProcess tavvel;
    startTavvel(tavvel);
    ASSERT_TRUE(QTest::qWaitFor([] { return writtenSuite().boolean(PreferencesKey::alreadyImportVideo); }, 60000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return platform::isBusNameOwned(helper); }, 15000));

    EXPECT_EQ(testsupport::libraryTitles(), QStringList({"Aurora", "Deep Ocean", "Lavender Mist", "Sunset Glow"}));
    const QStringList signs = testsupport::librarySigns();
    ASSERT_EQ(signs.size(), 4);
    EXPECT_EQ(writtenSuite().string(PreferencesKey::currentVideoSign), signs.back());
    EXPECT_TRUE(writtenSuite().boolean(PreferencesKey::isOpenPlayer));

    // A second start imports nothing.
    stop(tavvel);
    QProcess again;
    startTavvel(again);
    QTest::qWait(4000);
    EXPECT_EQ(LocalVideoDBManager::shared().allVideos().size(), 4u);
    const QByteArray out = again.readAllStandardOutput();
    EXPECT_FALSE(out.contains("insert ")) << out.toStdString();
    stop(again);
    stopPlayer();
}

// A library file that is no database, after earlier runs: Tavvel keeps it under a new name and
// starts a fresh library with the samples and the wallpaper. A damaged one whose rows still read
// (pages a crash left unused) has them carried into the fresh library, and no sample comes.
TEST_F(FirstStart, ABrokenLibraryIsSetAsideWithWhatStillReadsOfIt) {
    const QString path = LocalVideoDBManager::defaultPath();
    const struct Case {
        const char* name;
        bool damaged;
    } cases[] = {{"no database", false}, {"damaged", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& old : QDir(QFileInfo(path).absolutePath()).entryList({QStringLiteral("Tavvel.db*")}))
            QFile::remove(QFileInfo(path).dir().filePath(old));
        if (c.damaged) {
            {
                LocalVideoDBManager earlier(path);
                for (const char* sign : {"mine1", "mine2", "mine3"})
                    earlier.insertVideo(testsupport::video(QString::fromLatin1(sign), QString::fromLatin1(sign)));
            }
            ASSERT_TRUE(testsupport::runSql(path,
                                            "create table filler (x); insert into filler values "
                                            "(zeroblob(40000)); drop table filler;")
                            .has_value());
            // The free list forgotten, as a crash may leave it: "Page N is never used".
            ASSERT_TRUE(testsupport::overwriteBytes(path, 32, QByteArray(8, '\0')));
        } else {
            QFile broken(path);
            ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write(QByteArray(5000, 'Z')) == 5000);
        }
        const qint64 size = QFileInfo(path).size();
        writtenSuite().setBool(PreferencesKey::alreadyImportVideo, true);
        writtenSuite().synchronize();

        QProcess tavvel;
        startTavvel(tavvel);
        QByteArray out;
        const QByteArray told = c.damaged ? "carried 3 of 3 readable rows" : "database broken, set aside as ";
        ASSERT_TRUE(QTest::qWaitFor([&] { return (out += tavvel.readAllStandardOutput()).contains(told); }, 30000));
        LocalVideoDBManager library(path, LocalVideoDBManager::BrokenFile::leave);
        const size_t rows = c.damaged ? 3 : 4;
        ASSERT_TRUE(QTest::qWaitFor([&] { return library.allVideos().size() == rows; }, 60000));
        ASSERT_TRUE(QTest::qWaitFor([] { return writtenSuite().boolean(PreferencesKey::alreadyImportVideo); }, 30000));
        ASSERT_NO_FATAL_FAILURE(stopPlayer());
        stop(tavvel);
        if (c.damaged)
            for (const VideoDetail& v : library.allVideos())
                EXPECT_TRUE(v.sign.startsWith(QLatin1String("mine"))) << v.sign.toStdString();
        else
            EXPECT_EQ(writtenSuite().string(PreferencesKey::currentVideoSign), library.allVideos().back().sign);
        const QStringList aside = QDir(QFileInfo(path).absolutePath())
                                      .entryList({QStringLiteral("Tavvel.db.broken-*")});
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(QFileInfo(QFileInfo(path).dir().filePath(aside[0])).size(), size);
    }
}
