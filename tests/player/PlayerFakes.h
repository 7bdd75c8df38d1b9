#pragma once
// Stand-ins for the screens, windows and media player, plus a real library on disk (settings
// file, database file, video files) for the manager's tests.
#include "platform/DefaultsSuite.h"
#include "player/PlayerInterfaces.h"
#include "player/VideoPlayerManager.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <linux/capability.h>
#include <memory>
#include <random>
#include <utility>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// Everything the fakes do, in order, as short lines ("play", "replace a.mp4", "w0 back").
struct CallLog {
    QStringList lines;
    void add(const QString& line) { lines.append(line); }
    QStringList take() {
        QStringList out = lines;
        lines.clear();
        return out;
    }
};

class FakePlayer final : public MediaPlayer {
public:
    explicit FakePlayer(CallLog& log) : log_(log) {}

    quint64 replaceItem(const QUrl& url) override {
        url_ = url;
        current_ = url.isEmpty() ? 0 : ++items_;
        log_.add(QStringLiteral("replace ") +
                 (url.isEmpty() ? QStringLiteral("-") : QFileInfo(url.toLocalFile()).fileName()));
        return current_;
    }
    quint64 currentItem() const override { return current_; }
    void play() override { setPlaying(true, QStringLiteral("play")); }
    void pause() override { setPlaying(false, QStringLiteral("pause")); }
    bool isPlaying() const override { return playing_; }
    void seekToZero() override { log_.add(QStringLiteral("seek0")); }
    void setMuted(bool muted) override { muted_ = muted; }
    bool isMuted() const override { return muted_; }
    void setVolume(float volume) override { volume_ = volume; }
    float volume() const override { return volume_; }

    QString currentFile() const { return url_.isEmpty() ? QString() : QFileInfo(url_.toLocalFile()).fileName(); }
    // What the real player reports later from its event loop; here the test says when.
    void finish(quint64 item) { emit itemEnded(item); }
    void fail(quint64 item) { emit itemFailed(item); }
    void start(quint64 item) { emit itemStarted(item); }
    void finishCurrent() { finish(current_); }
    void failCurrent() { fail(current_); }

private:
    void setPlaying(bool playing, const QString& call) {
        playing_ = playing;
        log_.add(call);
    }

    CallLog& log_;
    QUrl url_;
    quint64 current_ = 0;
    quint64 items_ = 0;
    bool playing_ = false;
    bool muted_ = false;
    float volume_ = 1.0f;
};

class FakeWindow final : public WallpaperWindow {
public:
    FakeWindow(CallLog& log, int number, QRect screen, QRect frame)
        : screen(screen), frame(frame), log_(log), name_(QStringLiteral("w%1").arg(number)) {}
    ~FakeWindow() override { log_.add(name_ + QStringLiteral(" gone")); }
    void setDesktopLevel() override { log_.add(name_ + QStringLiteral(" level")); }
    void orderFront() override { place(true, QStringLiteral(" front")); }
    void orderBack() override { place(true, QStringLiteral(" back")); }
    void orderOut() override { place(false, QStringLiteral(" out")); }

    QRect screen;
    QRect frame;
    bool visible = false;

private:
    void place(bool shown, const QString& call) {
        visible = shown;
        log_.add(name_ + call);
    }

    CallLog& log_;
    QString name_;
};

class FakePlatform final : public WallpaperPlatform {
public:
    explicit FakePlatform(CallLog& log) : log_(log) {}

    QList<QRect> screens() const override { return screenList; }
    std::unique_ptr<WallpaperWindow> makeWindow(const QRect& screen, const QRect& frame, MediaPlayer&,
                                                QObject*) override {
        log_.add(QStringLiteral("make w%1").arg(windowsMade));
        return std::make_unique<FakeWindow>(log_, windowsMade++, screen, frame);
    }
    std::unique_ptr<MediaPlayer> makePlayer() override {
        log_.add(QStringLiteral("make player"));
        auto p = std::make_unique<FakePlayer>(log_);
        player = p.get();
        return p;
    }

    QList<QRect> screenList{QRect(0, 0, 1920, 1080)};
    FakePlayer* player = nullptr;
    int windowsMade = 0;

private:
    CallLog& log_;
};

// A library on disk: the settings suite, the database and video files (their content does not
// matter to the fake player).
class TestLibrary {
public:
    TestLibrary() : suite(dir.filePath(QStringLiteral("settings.ini"))), db(dir.filePath(QStringLiteral("Tavvel.db"))) {
        Preferences::registerSharedDefaults(suite);
        QDir(dir.path()).mkpath(QStringLiteral("videos"));
    }

    QString videoPath(const QString& name) const { return dir.filePath(QStringLiteral("videos/") + name); }
    static QString fileUrl(const QString& path) { return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded); }

    // Adds a row whose sign is `sign` and whose file is videos/<sign>.mp4 (made unless `makeFile` is false).
    void addVideo(const QString& sign, bool makeFile = true) {
        const QString path = videoPath(sign + QStringLiteral(".mp4"));
        if (makeFile) {
            QFile f(path);
            f.open(QIODevice::WriteOnly);
            f.write("video");
        }
        addRow(sign, fileUrl(path));
    }
    void addRow(const QString& sign, const QString& url) {
        VideoDetail v;
        v.sign = sign;
        v.url = url;
        v.title = sign;
        db.insertVideo(v);
    }
    QStringList signsInDatabase() {
        QStringList out;
        for (const VideoDetail& v : db.allVideos())
            out.append(v.sign);
        return out;
    }

    QTemporaryDir dir;
    platform::DefaultsSuite suite;
    LocalVideoDBManager db;
};

// A folder that this thread cannot read, as a user without root's rights sees one: the folder
// gets no permissions and the thread gives up the capabilities that pass over permissions
// (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH) until restore(). Capabilities are per thread, so the
// kernel really denies the main thread while the player's own threads are untouched; files the
// thread owns stay readable through their owner's permissions.
class DeniedFolder {
public:
    explicit DeniedFolder(const QString& path) : path_(QFile::encodeName(path)) {
        held_ = ::chmod(path_.constData(), 0) == 0 && setCapabilities(false);
    }
    ~DeniedFolder() { restore(); }
    bool held() const { return held_; }
    void restore() {
        if (!std::exchange(held_, false))
            return;
        setCapabilities(true);
        ::chmod(path_.constData(), 0755);
    }

private:
    static bool setCapabilities(bool on) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2] = {};
        if (syscall(SYS_capget, &header, data) != 0)
            return false;
        const quint32 bits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
        data[0].effective = on ? data[0].effective | (data[0].permitted & bits) : data[0].effective & ~bits;
        return syscall(SYS_capset, &header, data) == 0;
    }

    QByteArray path_;
    bool held_ = false;
};

// A manager over the fakes and a library; its settings object runs no re-read timer.
struct PlayerRig {
    PlayerRig() : platform(log) {}

    void make() {
        prefs = std::make_unique<Preferences>(library.suite);
        manager = std::make_unique<VideoPlayerManager>(platform, *prefs, library.db);
        manager->setRandomSource([this](quint32 n) { return n == 0 ? 0 : quint32(rng()) % n; });
    }
    FakePlayer& player() {
        manager->player();
        return *platform.player;
    }
    QStringList order() const {
        QStringList out;
        for (const VideoDetail& v : manager->videoList().items())
            out.append(v.sign);
        return out;
    }
    QString cursor() const {
        const VideoDetail* v = manager->videoList().current();
        return v ? v->sign : QString();
    }
    FakeWindow& window(size_t i) { return static_cast<FakeWindow&>(*manager->windowList().at(i)); }

    CallLog log;
    TestLibrary library;
    FakePlatform platform;
    std::unique_ptr<Preferences> prefs;
    std::unique_ptr<VideoPlayerManager> manager;
    std::mt19937 rng{12345};
};
