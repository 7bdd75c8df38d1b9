#include "shared/Preferences.h"

#include "platform/DefaultsSuite.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "shared/AppInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>

namespace K = PreferencesKey;

// The worker's side: once it runs, the only code that touches the file. It keeps the changes
// not yet written, so a disk that was full gets them once it has room again.
class PreferencesStore : public QObject {
public:
    PreferencesStore(platform::DefaultsSuite& suite, Preferences* owner) : suite_(suite), owner_(owner) {}

    // The rest runs on the worker thread.
    void start() {
        watcher_ = new QFileSystemWatcher(this);
        // The folder, not the file: every write replaces the file, which would end a watch on it.
        const bool watched = watcher_->addPath(QFileInfo(suite_.filePath()).absolutePath());
        connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
            if (!lookTimer_->isActive())
                lookTimer_->start();
        });
        lookTimer_ = new QTimer(this);
        lookTimer_->setSingleShot(true);
        lookTimer_->setInterval(20);  // one look for the burst of names a write makes
        connect(lookTimer_, &QTimer::timeout, this, &PreferencesStore::look);
        // Notifications miss what another machine writes to a network home: a slow poll sees it.
        poll_ = new QTimer(this);
        poll_->setInterval(watched ? 10000 : 1000);
        connect(poll_, &QTimer::timeout, this, &PreferencesStore::look);
        poll_->start();
        retry_ = new QTimer(this);
        retry_->setSingleShot(true);
        connect(retry_, &QTimer::timeout, this, &PreferencesStore::write);
        look();  // what changed between the first read and the watch
    }

    void change(quint64 number, const QString& key, const QVariant& value) {
        pending_[key] = value;
        through_ = number;
        // Changes queued behind this one are taken in before the write, and go with it.
        if (!writeQueued_) {
            writeQueued_ = true;
            QMetaObject::invokeMethod(this, &PreferencesStore::write, Qt::QueuedConnection);
        }
    }

    void write() {
        writeQueued_ = false;
        if (pending_.empty())
            return;
        retry_->stop();
        apply();
        bool failed = false;
        if (suite_.synchronize() || !suite_.writeFailed()) {
            pending_.clear();
            retryDelay_ = 1000;
        } else {
            failed = true;
            apply();  // the read-back may have put the file's older values over ours
            retry_->start(retryDelay_);
            retryDelay_ = std::min(retryDelay_ * 2, 60000);
        }
        publish(failed);
    }

    // Reads the file if it changed (and writes first if changes wait), then posts the values.
    void look() {
        if (!pending_.empty())
            return write();
        suite_.synchronizeIfChanged();
        publish(false);
    }

    bool unwritten() const { return unwritten_; }

private:
    void apply() {
        for (const auto& [key, value] : pending_)
            suite_.setObject(key, value);
    }

    void publish(bool failed) {
        unwritten_ = !pending_.empty();
        const Preferences::Stored stored = Preferences::Stored::read(suite_);
        QMetaObject::invokeMethod(
            owner_,
            [owner = owner_, stored, through = through_, failed] {
                if (failed)
                    owner->tellNotWritten();
                owner->adoptStored(stored, through);
            },
            Qt::QueuedConnection);
    }

    platform::DefaultsSuite& suite_;
    Preferences* const owner_;
    std::map<QString, QVariant> pending_;  // key -> value not yet in the file (invalid: removed)
    quint64 through_ = 0;                  // the owner's last change the suite holds
    bool writeQueued_ = false;
    std::atomic<bool> unwritten_ = false;
    int retryDelay_ = 1000;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* lookTimer_ = nullptr;
    QTimer* poll_ = nullptr;
    QTimer* retry_ = nullptr;
};

namespace {
Preferences* sharedInstance = nullptr;

// Before the application object goes: what is queued reaches the file, and the worker stops.
void stopSharedStore() {
    if (sharedInstance)
        sharedInstance->stopBackgroundStore();
}
}  // namespace

platform::DefaultsSuite& Preferences::sharedDefaults() {
    static platform::DefaultsSuite* suite = [] {
        const QString dir = AppInfo::directory(platform::DirectoryKind::Preferences);
        auto* s = new platform::DefaultsSuite(QDir(dir).filePath(AppInfo::appGroup() + QStringLiteral(".ini")));
        if (!s->isUsable()) {
            // A damaged file must not stop both programs at every start: keep running on
            // defaults; the next write replaces the file.
            platform::logLine(QStringLiteral("settings file unreadable, using defaults: ") + s->filePath());
        }
        registerSharedDefaults(*s);
        return s;
    }();
    return *suite;
}

Preferences& Preferences::shared() {
    static Preferences* prefs = [] {
        auto* p = new Preferences(sharedDefaults());
        p->startBackgroundStore();
        sharedInstance = p;
        qAddPostRoutine(stopSharedStore);
        return p;
    }();
    return *prefs;
}

void Preferences::registerSharedDefaults(platform::DefaultsSuite& suite) {
    if (!suite.contains(K::autolaunch))
        suite.setBool(K::autolaunch, true);
    if (!suite.contains(K::volume))
        suite.setDouble(K::volume, 0.5);
    if (!suite.contains(K::mute))
        suite.setBool(K::mute, false);
    if (!suite.contains(K::isOpenPlayer))
        suite.setBool(K::isOpenPlayer, true);
    if (!suite.contains(K::isPlaying))
        suite.setBool(K::isPlaying, true);
    suite.synchronize();
}

Preferences::Preferences(platform::DefaultsSuite& suite) : suite_(suite) {
    const Stored stored = Stored::read(suite_);
    monitorArrange_ = stored.monitorArrange;
    screenIndex_ = stored.screenIndex;
    playModel_ = stored.playModel;
    playingVideoSign_ = stored.playingVideoSign;
    volume_ = stored.volume;
    mute_ = stored.mute;
    alreadyImportVideo_ = stored.alreadyImportVideo;
    isOpenPlayer_ = stored.isOpenPlayer;
    isPlaying_ = stored.isPlaying;
    autolaunch_ = stored.autolaunch;
}

Preferences::~Preferences() {
    stopBackgroundStore();
}

void Preferences::startBackgroundStore() {
    if (store_)
        return;
    thread_ = new QThread(this);
    thread_->setObjectName(QStringLiteral("settings"));
    store_ = new PreferencesStore(suite_, this);
    store_->moveToThread(thread_);
    // Its timers and watcher go on the thread that made them.
    connect(thread_, &QThread::finished, store_, &QObject::deleteLater);
    thread_->start();
    QMetaObject::invokeMethod(store_, &PreferencesStore::start, Qt::QueuedConnection);
}

void Preferences::stopBackgroundStore() {
    if (!store_)
        return;
    // Only the write: what the worker read is not handed to observers that may be gone by now.
    PreferencesStore* store = store_;
    QMetaObject::invokeMethod(
        store, [store] { store->look(); }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    store_ = nullptr;
    // Later changes, if any, are written here.
}

bool Preferences::flush() {
    if (!store_) {
        save();
        return !suite_.writeFailed();
    }
    PreferencesStore* store = store_;
    QMetaObject::invokeMethod(
        store, [store] { store->look(); }, Qt::BlockingQueuedConnection);
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    return !store->unwritten();
}

Preferences::Stored Preferences::Stored::read(const platform::DefaultsSuite& suite) {
    Stored s;
    s.monitorArrange = suite.integer(K::monitorArrange);
    s.screenIndex = suite.integer(K::screenIndex);
    s.playModel = suite.integer(K::playModel);
    s.playingVideoSign = suite.string(K::currentVideoSign);
    if (suite.contains(K::volume)) {
        bool ok = false;
        const double d = suite.object(K::volume).toDouble(&ok);
        s.volume = sanitizedVolume(ok ? d : std::nan(""));
    }
    s.mute = suite.boolean(K::mute);
    s.alreadyImportVideo = suite.boolean(K::alreadyImportVideo);
    s.isOpenPlayer = suite.boolean(K::isOpenPlayer);
    s.isPlaying = suite.boolean(K::isPlaying);
    s.autolaunch = suite.boolean(K::autolaunch);
    return s;
}

float Preferences::sanitizedVolume(double stored) {
    if (std::isnan(stored))
        return 0.5f;
    if (stored < 0.0)
        return 0.0f;
    if (stored > 1.0)
        return 1.0f;
    return float(stored);
}

void Preferences::assertMainThread() const {
    Q_ASSERT_X(platform::isMainThread(), "Preferences", "setters are for the main thread only");
}

void Preferences::write(const QString& key, const QVariant& value, bool now) {
    lastChangeOf_[key] = ++changeCount_;
    if (store_) {
        QMetaObject::invokeMethod(
            store_, [store = store_, n = changeCount_, key, value] { store->change(n, key, value); },
            Qt::QueuedConnection);
        return;
    }
    suite_.setObject(key, value);
    if (now)
        save();
}

void Preferences::save() {
    if (!suite_.synchronize() && suite_.writeFailed())
        tellNotWritten();
}

void Preferences::tellNotWritten() {
    if (writeFailureTold_)
        return;
    writeFailureTold_ = true;
    platform::logLine(QStringLiteral("cannot write the settings file ") + suite_.filePath());
    emit settingsNotWritten(suite_.filePath());
}

void Preferences::setMonitorArrange(qint64 value) {
    assertMainThread();
    monitorArrange_ = value;
    write(K::monitorArrange, value);
    emit monitorArrangeChanged(value);
}

void Preferences::setScreenIndex(qint64 value) {
    assertMainThread();
    screenIndex_ = value;
    write(K::screenIndex, value);
    emit screenIndexChanged(value);
}

void Preferences::setPlayModel(qint64 value) {
    assertMainThread();
    playModel_ = value;
    write(K::playModel, value);
    emit playModelChanged(value);
}

void Preferences::setPlayingVideoSign(const std::optional<QString>& value) {
    assertMainThread();
    playingVideoSign_ = value;
    write(K::currentVideoSign, value ? QVariant(*value) : QVariant());
    emit playingVideoSignChanged(value);
}

void Preferences::setVolume(float value) {
    assertMainThread();
    value = sanitizedVolume(double(value));
    volume_ = value;
    write(K::volume, double(value));
    emit volumeChanged(value);
}

void Preferences::setMute(bool value) {
    assertMainThread();
    mute_ = value;
    write(K::mute, value);
    emit muteChanged(value);
}

void Preferences::setAlreadyImportVideo(bool value) {
    assertMainThread();
    alreadyImportVideo_ = value;
    write(K::alreadyImportVideo, value, /*now=*/false);
    emit alreadyImportVideoChanged(value);
}

void Preferences::setIsOpenPlayer(bool value) {
    assertMainThread();
    isOpenPlayer_ = value;
    write(K::isOpenPlayer, value);
    emit isOpenPlayerChanged(value);
}

void Preferences::setIsPlaying(bool value) {
    assertMainThread();
    isPlaying_ = value;
    write(K::isPlaying, value);
    emit isPlayingChanged(value);
}

void Preferences::setAutolaunch(bool value) {
    assertMainThread();
    autolaunch_ = value;
    write(K::autolaunch, value, /*now=*/false);
    emit autolaunchChanged(value);
}

void Preferences::updateUserDefaultFromDisk() {
    if (store_) {
        flush();
        return;
    }
    // Without a re-read of the file, the other process's writes stay invisible. Skipping the
    // read when the file is unchanged keeps the idle pass nearly free.
    suite_.synchronizeIfChanged();
    adoptStored(Stored::read(suite_), changeCount_);
}

void Preferences::adoptStored(const Stored& s, quint64 through) {
    // A key changed here after the pass read the suite: the pass saw an older value.
    const auto current = [&](const QString& key) { return lastChangeOf_.value(key) <= through; };
    if (current(K::monitorArrange) && s.monitorArrange != monitorArrange_)
        adopt(monitorArrange_, s.monitorArrange, &Preferences::monitorArrangeChanged);
    if (current(K::screenIndex) && s.screenIndex != screenIndex_)
        adopt(screenIndex_, s.screenIndex, &Preferences::screenIndexChanged);
    if (current(K::playModel) && s.playModel != playModel_)
        adopt(playModel_, s.playModel, &Preferences::playModelChanged);

    if (current(K::currentVideoSign) && s.playingVideoSign != playingVideoSign_) {
        // A removed key becomes the empty text here, and that text is written back.
        if (s.playingVideoSign)
            adopt(playingVideoSign_, s.playingVideoSign, &Preferences::playingVideoSignChanged);
        else
            setPlayingVideoSign(QString());
        // Choosing a video switches the player on and unpauses it: these are our own writes.
        if (!isOpenPlayer_)
            setIsOpenPlayer(true);
        if (!isPlaying_)
            setIsPlaying(true);
    }

    if (current(K::volume) && s.volume != volume_)
        adopt(volume_, s.volume, &Preferences::volumeChanged);
    if (current(K::mute) && s.mute != mute_)
        adopt(mute_, s.mute, &Preferences::muteChanged);
    if (current(K::alreadyImportVideo) && s.alreadyImportVideo != alreadyImportVideo_)
        adopt(alreadyImportVideo_, s.alreadyImportVideo, &Preferences::alreadyImportVideoChanged);
    if (current(K::isOpenPlayer) && s.isOpenPlayer != isOpenPlayer_) {
        adopt(isOpenPlayer_, s.isOpenPlayer, &Preferences::isOpenPlayerChanged);
        if (isOpenPlayer_)
            setIsPlaying(true);
    }
    if (current(K::isPlaying) && s.isPlaying != isPlaying_)
        adopt(isPlaying_, s.isPlaying, &Preferences::isPlayingChanged);
    if (current(K::autolaunch) && s.autolaunch != autolaunch_)
        adopt(autolaunch_, s.autolaunch, &Preferences::autolaunchChanged);
}
