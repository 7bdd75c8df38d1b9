#include "shared/Preferences.h"

#include "platform/DefaultsSuite.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "shared/AppInfo.h"

#include <QDir>
#include <cmath>

namespace K = PreferencesKey;

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
        p->timer_ = new QTimer(p);
        p->timer_->setInterval(1000);
        QObject::connect(p->timer_, &QTimer::timeout, p, &Preferences::updateUserDefaultFromDisk);
        p->timer_->start();
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
    monitorArrange_ = suite_.integer(K::monitorArrange);
    screenIndex_ = suite_.integer(K::screenIndex);
    playModel_ = suite_.integer(K::playModel);
    playingVideoSign_ = suite_.string(K::currentVideoSign);
    volume_ = readVolume();
    mute_ = suite_.boolean(K::mute);
    alreadyImportVideo_ = suite_.boolean(K::alreadyImportVideo);
    isOpenPlayer_ = suite_.boolean(K::isOpenPlayer);
    isPlaying_ = suite_.boolean(K::isPlaying);
    autolaunch_ = suite_.boolean(K::autolaunch);
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

float Preferences::readVolume() const {
    if (!suite_.contains(K::volume))
        return 0.0f;
    const QVariant v = suite_.object(K::volume);
    bool ok = false;
    const double d = v.toDouble(&ok);
    return sanitizedVolume(ok ? d : std::nan(""));
}

void Preferences::assertMainThread() const {
    Q_ASSERT_X(platform::isMainThread(), "Preferences", "setters are for the main thread only");
}

void Preferences::save() {
    if (suite_.synchronize() || writeFailureTold_ || !suite_.writeFailed())
        return;
    writeFailureTold_ = true;
    platform::logLine(QStringLiteral("cannot write the settings file ") + suite_.filePath());
    emit settingsNotWritten(suite_.filePath());
}

void Preferences::setMonitorArrange(qint64 value) {
    assertMainThread();
    monitorArrange_ = value;
    suite_.setInteger(K::monitorArrange, value);
    save();
    emit monitorArrangeChanged(value);
}

void Preferences::setScreenIndex(qint64 value) {
    assertMainThread();
    screenIndex_ = value;
    suite_.setInteger(K::screenIndex, value);
    save();
    emit screenIndexChanged(value);
}

void Preferences::setPlayModel(qint64 value) {
    assertMainThread();
    playModel_ = value;
    suite_.setInteger(K::playModel, value);
    save();
    emit playModelChanged(value);
}

void Preferences::setPlayingVideoSign(const std::optional<QString>& value) {
    assertMainThread();
    playingVideoSign_ = value;
    if (value)
        suite_.setObject(K::currentVideoSign, *value);
    else
        suite_.remove(K::currentVideoSign);
    save();
    emit playingVideoSignChanged(value);
}

void Preferences::setVolume(float value) {
    assertMainThread();
    value = sanitizedVolume(double(value));
    volume_ = value;
    suite_.setFloat(K::volume, value);
    save();
    emit volumeChanged(value);
}

void Preferences::setMute(bool value) {
    assertMainThread();
    mute_ = value;
    suite_.setBool(K::mute, value);
    save();
    emit muteChanged(value);
}

void Preferences::setAlreadyImportVideo(bool value) {
    assertMainThread();
    alreadyImportVideo_ = value;
    suite_.setBool(K::alreadyImportVideo, value);
    emit alreadyImportVideoChanged(value);
}

void Preferences::setIsOpenPlayer(bool value) {
    assertMainThread();
    isOpenPlayer_ = value;
    suite_.setBool(K::isOpenPlayer, value);
    save();
    emit isOpenPlayerChanged(value);
}

void Preferences::setIsPlaying(bool value) {
    assertMainThread();
    isPlaying_ = value;
    suite_.setBool(K::isPlaying, value);
    save();
    emit isPlayingChanged(value);
}

void Preferences::setAutolaunch(bool value) {
    assertMainThread();
    autolaunch_ = value;
    suite_.setBool(K::autolaunch, value);
    emit autolaunchChanged(value);
}

void Preferences::updateUserDefaultFromDisk() {
    // Without a re-read of the file, the other process's writes stay invisible. Skipping the
    // read when the file is unchanged keeps the idle pass nearly free.
    suite_.synchronizeIfChanged();

    if (const qint64 v = suite_.integer(K::monitorArrange); v != monitorArrange_)
        adopt(monitorArrange_, v, &Preferences::monitorArrangeChanged);
    if (const qint64 v = suite_.integer(K::screenIndex); v != screenIndex_)
        adopt(screenIndex_, v, &Preferences::screenIndexChanged);
    if (const qint64 v = suite_.integer(K::playModel); v != playModel_)
        adopt(playModel_, v, &Preferences::playModelChanged);

    if (const std::optional<QString> stored = suite_.string(K::currentVideoSign); stored != playingVideoSign_) {
        // A removed key becomes the empty text here, and that text is written back.
        if (stored)
            adopt(playingVideoSign_, stored, &Preferences::playingVideoSignChanged);
        else
            setPlayingVideoSign(QString());
        // Choosing a video switches the player on and unpauses it: these are our own writes.
        if (!isOpenPlayer_)
            setIsOpenPlayer(true);
        if (!isPlaying_)
            setIsPlaying(true);
    }

    if (const float v = readVolume(); v != volume_)
        adopt(volume_, v, &Preferences::volumeChanged);
    if (const bool v = suite_.boolean(K::mute); v != mute_)
        adopt(mute_, v, &Preferences::muteChanged);
    if (const bool v = suite_.boolean(K::alreadyImportVideo); v != alreadyImportVideo_)
        adopt(alreadyImportVideo_, v, &Preferences::alreadyImportVideoChanged);
    if (const bool v = suite_.boolean(K::isOpenPlayer); v != isOpenPlayer_) {
        adopt(isOpenPlayer_, v, &Preferences::isOpenPlayerChanged);
        if (isOpenPlayer_)
            setIsPlaying(true);
    }
    if (const bool v = suite_.boolean(K::isPlaying); v != isPlaying_)
        adopt(isPlaying_, v, &Preferences::isPlayingChanged);
    if (const bool v = suite_.boolean(K::autolaunch); v != autolaunch_)
        adopt(autolaunch_, v, &Preferences::autolaunchChanged);
}
