#include "platform/DefaultsSuite.h"
#include "shared/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cmath>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace K = PreferencesKey;

namespace {
// A suite on its own file, so each case starts fresh and runs no timer.
class PreferencesTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<platform::DefaultsSuite> suite;
    void SetUp() override { suite = std::make_unique<platform::DefaultsSuite>(dir.filePath("suite.ini")); }
    Preferences& make() {
        Preferences::registerSharedDefaults(*suite);
        prefs = std::make_unique<Preferences>(*suite);
        return *prefs;
    }
    // What another process would have written: a second object on the file, then a sync.
    void writeFromOutside(const QString& key, const QVariant& value) {
        QSettings other(suite->filePath(), QSettings::IniFormat);
        if (value.isValid())
            other.setValue(key, value);
        else
            other.remove(key);
        other.sync();
    }
    // Notifications of every property while `action` runs.
    int notificationsDuring(const std::function<void()>& action) {
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        const QMetaObject& meta = *prefs->metaObject();
        for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
            spies.push_back(std::make_unique<QSignalSpy>(prefs.get(), meta.property(i).notifySignal()));
        EXPECT_EQ(spies.size(), 10u);
        action();
        int count = 0;
        for (const auto& spy : spies)
            count += int(spy->count());
        return count;
    }
    // The file's bytes and its nanosecond modification time: any write changes one of them.
    std::pair<QByteArray, qint64> fileState() const {
        QFile f(suite->filePath());
        f.open(QIODevice::ReadOnly);
        struct stat st {};
        ::stat(QFile::encodeName(suite->filePath()).constData(), &st);
        return {f.readAll(), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    }
    std::unique_ptr<Preferences> prefs;
};
}  // namespace

TEST_F(PreferencesTest, FreshSuiteRegistersFiveKeysAndDefaultsTheRest) {
    Preferences& p = make();
    EXPECT_TRUE(suite->contains(K::autolaunch));
    EXPECT_TRUE(suite->contains(K::volume));
    EXPECT_TRUE(suite->contains(K::mute));
    EXPECT_TRUE(suite->contains(K::isOpenPlayer));
    EXPECT_TRUE(suite->contains(K::isPlaying));
    for (const QString& key :
         {K::monitorArrange, K::screenIndex, K::playModel, K::alreadyImportVideo, K::currentVideoSign})
        EXPECT_FALSE(suite->contains(key)) << key.toStdString();
    EXPECT_EQ(p.monitorArrange(), 0);
    EXPECT_EQ(p.screenIndex(), 0);
    EXPECT_EQ(p.playModel(), 0);
    EXPECT_FALSE(p.playingVideoSign().has_value());
    EXPECT_FLOAT_EQ(p.volume(), 0.5f);
    EXPECT_FALSE(p.mute());
    EXPECT_FALSE(p.alreadyImportVideo());
    EXPECT_TRUE(p.isOpenPlayer());
    EXPECT_TRUE(p.isPlaying());
    EXPECT_TRUE(p.autolaunch());
}

TEST_F(PreferencesTest, ExistingValuesSurviveRegistration) {
    suite->setDouble(K::volume, 0.8);
    suite->setBool(K::isOpenPlayer, false);
    suite->synchronize();
    Preferences& p = make();
    EXPECT_FLOAT_EQ(p.volume(), 0.8f);
    EXPECT_FALSE(p.isOpenPlayer());
}

TEST_F(PreferencesTest, IdlePassCallsNoSetter) {
    Preferences& p = make();
    p.setPlayingVideoSign(QStringLiteral("abc"));
    QSignalSpy sign(&p, &Preferences::playingVideoSignChanged), open(&p, &Preferences::isOpenPlayerChanged),
        playing(&p, &Preferences::isPlayingChanged), volume(&p, &Preferences::volumeChanged),
        arrange(&p, &Preferences::monitorArrangeChanged), autolaunch(&p, &Preferences::autolaunchChanged);
    p.updateUserDefaultFromDisk();
    p.updateUserDefaultFromDisk();
    EXPECT_EQ(sign.count() + open.count() + playing.count() + volume.count() + arrange.count() + autolaunch.count(), 0);
}

TEST_F(PreferencesTest, IdlePassWritesNothingAndTellsNobody) {
    Preferences& p = make();
    p.setPlayingVideoSign(QStringLiteral("abc"));
    p.setScreenIndex(3);
    p.setAlreadyImportVideo(true);
    p.setAutolaunch(false);
    p.updateUserDefaultFromDisk();  // flushes the two setters that do not synchronize
    const auto before = fileState();
    EXPECT_EQ(notificationsDuring([&] {
                  for (int pass = 0; pass < 3; ++pass)
                      p.updateUserDefaultFromDisk();
              }),
              0);
    EXPECT_EQ(fileState(), before);
}

TEST_F(PreferencesTest, OtherProgramsValuesAreTakenInWithoutBeingWrittenBack) {
    Preferences& p = make();
    writeFromOutside(K::screenIndex, 4);
    writeFromOutside(K::volume, 0.25);
    writeFromOutside(K::autolaunch, false);
    const auto before = fileState();
    EXPECT_EQ(notificationsDuring([&] { p.updateUserDefaultFromDisk(); }), 3);
    EXPECT_EQ(p.screenIndex(), 4);
    EXPECT_FLOAT_EQ(p.volume(), 0.25f);
    EXPECT_FALSE(p.autolaunch());
    // A write here could land over a newer value the other program wrote since the read.
    EXPECT_EQ(fileState(), before);
}

TEST_F(PreferencesTest, FileRewrittenAtTheSameSizeWithinTheSameMillisecondIsReadAgain) {
    Preferences& p = make();
    p.setScreenIndex(1);
    p.updateUserDefaultFromDisk();
    // The other program's write: same size, new file, the very same modification time.
    struct stat old {};
    ASSERT_EQ(::stat(QFile::encodeName(suite->filePath()).constData(), &old), 0);
    QByteArray bytes = fileState().first;
    ASSERT_TRUE(bytes.contains("ScreenIndex=1"));
    bytes.replace("ScreenIndex=1", "ScreenIndex=7");
    QSaveFile rewrite(suite->filePath());
    ASSERT_TRUE(rewrite.open(QIODevice::WriteOnly));
    rewrite.write(bytes);
    ASSERT_TRUE(rewrite.commit());
    const timespec times[2] = {old.st_atim, old.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(suite->filePath()).constData(), times, 0), 0);

    p.updateUserDefaultFromDisk();
    EXPECT_EQ(p.screenIndex(), 7);
}

TEST_F(PreferencesTest, SettingTheSameValueTwiceNotifiesTwice) {
    Preferences& p = make();
    QSignalSpy mute(&p, &Preferences::muteChanged), model(&p, &Preferences::playModelChanged);
    p.setMute(true);
    p.setMute(true);
    p.setPlayModel(2);
    p.setPlayModel(2);
    EXPECT_EQ(mute.count(), 2);
    EXPECT_EQ(model.count(), 2);
}

TEST_F(PreferencesTest, ChangedSignSwitchesPlayerOnInOrder) {
    Preferences& p = make();
    p.setIsOpenPlayer(false);
    p.setIsPlaying(false);
    QStringList order;
    QObject::connect(&p, &Preferences::playingVideoSignChanged, [&] { order << "sign"; });
    QObject::connect(&p, &Preferences::isOpenPlayerChanged, [&](bool v) { order << (v ? "open:true" : "open:false"); });
    QObject::connect(&p, &Preferences::isPlayingChanged,
                     [&](bool v) { order << (v ? "playing:true" : "playing:false"); });
    writeFromOutside(K::currentVideoSign, QStringLiteral("0123456789abcdef0123456789abcdef"));
    p.updateUserDefaultFromDisk();
    EXPECT_EQ(order, (QStringList{"sign", "open:true", "playing:true"}));
    EXPECT_EQ(p.playingVideoSign().value_or(QString()), QStringLiteral("0123456789abcdef0123456789abcdef"));
}

TEST_F(PreferencesTest, RemovedSignBecomesEmptyTextInPropertyAndSuite) {
    Preferences& p = make();
    p.setPlayingVideoSign(QStringLiteral("abc"));
    p.setIsOpenPlayer(false);
    writeFromOutside(K::currentVideoSign, QVariant());
    QSignalSpy open(&p, &Preferences::isOpenPlayerChanged);
    p.updateUserDefaultFromDisk();
    ASSERT_TRUE(p.playingVideoSign().has_value());
    EXPECT_TRUE(p.playingVideoSign()->isEmpty());
    EXPECT_TRUE(suite->contains(K::currentVideoSign));
    EXPECT_EQ(suite->string(K::currentVideoSign).value_or(QStringLiteral("x")), QString());
    EXPECT_EQ(open.count(), 1);
    EXPECT_TRUE(p.isOpenPlayer());
    // And that is stable: the next pass sees "" == "".
    QSignalSpy sign(&p, &Preferences::playingVideoSignChanged);
    p.updateUserDefaultFromDisk();
    EXPECT_EQ(sign.count(), 0);
}

TEST_F(PreferencesTest, SettingAbsentSignRemovesKey) {
    Preferences& p = make();
    p.setPlayingVideoSign(QStringLiteral("abc"));
    EXPECT_TRUE(suite->contains(K::currentVideoSign));
    p.setPlayingVideoSign(std::nullopt);
    EXPECT_FALSE(suite->contains(K::currentVideoSign));
}

TEST_F(PreferencesTest, OpenPlayerTurningTrueAlwaysNotifiesPlaying) {
    Preferences& p = make();
    p.setIsOpenPlayer(false);
    ASSERT_TRUE(p.isPlaying());
    QSignalSpy playing(&p, &Preferences::isPlayingChanged);
    writeFromOutside(K::isOpenPlayer, true);
    p.updateUserDefaultFromDisk();
    EXPECT_EQ(playing.count(), 1);
    EXPECT_TRUE(p.isPlaying());

    // Turning it off leaves the playing flag alone.
    playing.clear();
    writeFromOutside(K::isOpenPlayer, false);
    p.updateUserDefaultFromDisk();
    EXPECT_EQ(playing.count(), 0);
}

TEST_F(PreferencesTest, ExternalChangesComeBackThroughTheSetters) {
    Preferences& p = make();
    writeFromOutside(K::monitorArrange, 2);
    writeFromOutside(K::screenIndex, 1);
    writeFromOutside(K::playModel, 1);
    writeFromOutside(K::mute, true);
    writeFromOutside(K::autolaunch, false);
    QSignalSpy arrange(&p, &Preferences::monitorArrangeChanged);
    p.updateUserDefaultFromDisk();
    EXPECT_EQ(arrange.count(), 1);
    EXPECT_EQ(p.monitorArrange(), 2);
    EXPECT_EQ(p.screenIndex(), 1);
    EXPECT_EQ(p.playModel(), 1);
    EXPECT_TRUE(p.mute());
    EXPECT_FALSE(p.autolaunch());
}

TEST_F(PreferencesTest, BadStoredVolumeIsSanitizedAndSettles) {
    Preferences& p = make();
    QSignalSpy volume(&p, &Preferences::volumeChanged);
    writeFromOutside(K::volume, QStringLiteral("nan"));
    p.updateUserDefaultFromDisk();
    EXPECT_FLOAT_EQ(p.volume(), 0.5f);
    p.updateUserDefaultFromDisk();  // no endless re-apply
    p.updateUserDefaultFromDisk();
    EXPECT_LE(volume.count(), 1);

    writeFromOutside(K::volume, 7.5);
    p.updateUserDefaultFromDisk();
    EXPECT_FLOAT_EQ(p.volume(), 1.0f);
    writeFromOutside(K::volume, -3);
    p.updateUserDefaultFromDisk();
    EXPECT_FLOAT_EQ(p.volume(), 0.0f);
    writeFromOutside(K::volume, QStringLiteral("loud"));
    p.updateUserDefaultFromDisk();
    EXPECT_FLOAT_EQ(p.volume(), 0.5f);
    EXPECT_FALSE(std::isnan(p.volume()));
}

TEST_F(PreferencesTest, AutolaunchAndImportFlagDoNotSynchronize) {
    Preferences& p = make();
    p.setAutolaunch(false);
    p.setAlreadyImportVideo(true);
    // Nothing reached the file yet. (Read the bytes: a second QSettings in this process would
    // share the first one's cache.)
    auto fileText = [&] {
        QFile f(suite->filePath());
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    };
    EXPECT_TRUE(fileText().contains(QStringLiteral("autolaunch=true")));
    EXPECT_FALSE(fileText().contains(K::alreadyImportVideo));
    // A synchronizing setter flushes them too.
    p.setMute(true);
    EXPECT_TRUE(fileText().contains(QStringLiteral("autolaunch=false")));
    EXPECT_TRUE(fileText().contains(QStringLiteral("alreadyImportVideo=true")));
}

TEST_F(PreferencesTest, WrongTypesReadThroughTypedReaders) {
    suite->setObject(K::monitorArrange, QStringLiteral("two"));
    suite->setObject(K::mute, QStringLiteral("1"));
    suite->synchronize();
    Preferences& p = make();
    EXPECT_EQ(p.monitorArrange(), 0);
    EXPECT_TRUE(p.mute());
}

TEST_F(PreferencesTest, ASettingsFileThatCannotBeWrittenIsToldOnce) {
    Preferences& settings = make();
    QSignalSpy told(&settings, &Preferences::settingsNotWritten);
    settings.setVolume(0.3f);
    EXPECT_EQ(told.count(), 0);
    // A directory where the file was: no write can replace it (whatever the user's rights).
    ASSERT_TRUE(QFile::remove(suite->filePath()));
    ASSERT_TRUE(QDir().mkdir(suite->filePath()));
    const std::function<void()> changes[] = {[&] { settings.setMute(true); }, [&] { settings.setVolume(0.7f); },
                                             [&] { settings.setIsOpenPlayer(true); }};
    for (const auto& change : changes)
        change();
    ASSERT_EQ(told.count(), 1);
    EXPECT_EQ(told.first().first().toString(), suite->filePath());
    EXPECT_FLOAT_EQ(settings.volume(), 0.7f);  // the change holds in the program
}

TEST_F(PreferencesTest, OnTheWorkerChangesLandInOrderAndAStaleReadNeverTakesOneBack) {
    Preferences& p = make();
    p.startBackgroundStore();
    QSignalSpy told(&p, &Preferences::screenIndexChanged);
    // Another program writes meanwhile, so the worker reads the file between our changes.
    for (qint64 i = 1; i <= 60; ++i) {
        p.setScreenIndex(i);
        if (i % 10 == 0)
            writeFromOutside(K::mute, i % 20 == 0);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(p.flush());
    EXPECT_EQ(p.screenIndex(), 60);
    qint64 last = 0;
    for (const QList<QVariant>& change : told) {
        EXPECT_GT(change.first().toLongLong(), last) << "a re-read put an older value back";
        last = change.first().toLongLong();
    }
    EXPECT_EQ(last, 60);
    EXPECT_TRUE(p.mute());  // the other program's last write
    EXPECT_TRUE(fileState().first.contains("ScreenIndex=60"));
}
