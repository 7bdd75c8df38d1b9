#pragma once
// The real desktop player over this test's folders, with the settings folder on a disk of the
// test's choosing (a slow FUSE pass-through, a small tmpfs) and its main thread's waits logged.
#include "app/MainLibrary.h"
#include "platform/DefaultsSuite.h"
#include "shared/AppInfo.h"
#include "shared/Preferences.h"
#include "support/ProcessHelpers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <limits>
#include <sys/mount.h>
#include <sys/stat.h>

namespace diskrig {
inline QString clip(const char* name) {
    return QDir(QStringLiteral(TAVVEL_TEST_VIDEOS_DIR)).filePath(QLatin1String(name));
}

// Two videos in the library, "first" chosen, the wallpaper on and playing.
// This program's settings on the mounted folder, read afresh and kept by a worker as the
// process-wide object is: that one may have been made on an earlier mount of the same folder.
struct MountedSettings {
    explicit MountedSettings(const QString& settingsFolder)
        : suite(QDir(settingsFolder).filePath(AppInfo::appGroup() + QStringLiteral(".ini"))), settings(suite) {
        settings.startBackgroundStore();
    }
    platform::DefaultsSuite suite;
    Preferences settings;
};

inline void prepareLibraryAndSettings(const QString& settingsFolder) {
    apptest::addToMainLibrary(clip("clip_320x180.mp4"), QStringLiteral("first"), QStringLiteral("First"));
    apptest::addToMainLibrary(clip("clip_12_7s.mp4"), QStringLiteral("second"), QStringLiteral("Second"));
    platform::DefaultsSuite suite(QDir(settingsFolder).filePath(AppInfo::appGroup() + QStringLiteral(".ini")));
    Preferences::registerSharedDefaults(suite);
    suite.setObject(PreferencesKey::currentVideoSign, QStringLiteral("first"));
    suite.setBool(PreferencesKey::alreadyImportVideo, true);
    suite.setInteger(PreferencesKey::playModel, 0);
    suite.synchronize();
}

inline QString settingsFolder() {
    return AppInfo::directory(platform::DirectoryKind::Preferences);
}

// Another file system than its parent's.
inline bool isMountPoint(const QString& path) {
    struct stat here {
    }, parent{};
    return ::stat(QFile::encodeName(path).constData(), &here) == 0 &&
           ::stat(QFile::encodeName(path + QStringLiteral("/..")).constData(), &parent) == 0 &&
           here.st_dev != parent.st_dev;
}

inline void unmount(const QString& at) {
    ::umount2(QFile::encodeName(at).constData(), MNT_DETACH);
}

// The longest gap between the ticks of a 10 ms timer on this thread, from start() on.
class Heartbeat {
public:
    Heartbeat() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { longest_ = std::max(longest_, clock_.restart()); });
        timer_.setTimerType(Qt::PreciseTimer);
    }
    void start() {
        longest_ = 0;
        clock_.start();
        timer_.start(10);
    }
    qint64 longest() const { return longest_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
};

class Player {
public:
    explicit Player(const QString& waitLog) : waitLog_(waitLog) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("TAVVEL_SERVICE_URL"), testsupport::refusedServiceUrl());
        env.insert(QStringLiteral("TAVVEL_WAIT_LOG"), waitLog_);
        env.insert(QStringLiteral("LSAN_OPTIONS"), QStringLiteral("suppressions=" LSAN_SUPPRESSIONS));
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral(TAVVEL_HELPER_PROGRAM), {});
    }
    ~Player() {
        process_.kill();
        process_.waitForFinished();
    }
    bool waitForLine(const QByteArray& line, int ms) {
        return QTest::qWaitFor(
            [&] {
                output_ += process_.readAll();
                return output_.contains(line + '\n');
            },
            ms);
    }
    // The longest wait its main thread logged that ended between `sinceMs` and `untilMs` (wall clock).
    qint64 longestWaitSince(qint64 sinceMs, qint64 untilMs = std::numeric_limits<qint64>::max()) const {
        QFile log(waitLog_);
        qint64 longest = 0;
        if (log.open(QIODevice::ReadOnly))
            for (const QByteArray& line : log.readAll().split('\n'))
                if (const QList<QByteArray> f = line.split(' ');
                    f.size() == 2 && f[0].toLongLong() >= sinceMs && f[0].toLongLong() <= untilMs)
                    longest = std::max(longest, f[1].toLongLong());
        return longest;
    }
    QByteArray output() const { return output_; }

private:
    QString waitLog_;
    QProcess process_;
    QByteArray output_;
};
}  // namespace diskrig
