#pragma once
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <optional>

namespace platform {
class DefaultsSuite;
}  // namespace platform
class QThread;
class PreferencesStore;

// Monitor arrangement stored under "MonitorArrange".
enum class VideoPlayerScreenType : qint64 { combo = 0, dynamic = 1, lonely = 2 };
// Play mode stored under "PlayModel".
enum class VideoPlayerPlayModel : qint64 { single = 0, list = 1, random = 2 };

// The settings object of a process, over the application group's shared suite.
// Setters keep the value and notify observers at once. The process-wide object leaves the file
// to a worker thread (the file may sit on a slow or full disk: the window and the wallpaper
// never wait for it); an object made on a suite alone writes and re-reads on the caller's
// thread. Changes made by the other program come back through the same signals. Every setting
// is also a property by its name, with its change signal, so controls can be bound to it by name.
class Preferences : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 monitorArrange READ monitorArrange WRITE setMonitorArrange NOTIFY monitorArrangeChanged)
    Q_PROPERTY(qint64 screenIndex READ screenIndex WRITE setScreenIndex NOTIFY screenIndexChanged)
    Q_PROPERTY(qint64 playModel READ playModel WRITE setPlayModel NOTIFY playModelChanged)
    Q_PROPERTY(std::optional<QString> playingVideoSign READ playingVideoSign WRITE setPlayingVideoSign NOTIFY
                   playingVideoSignChanged)
    Q_PROPERTY(float volume READ volume WRITE setVolume NOTIFY volumeChanged)
    Q_PROPERTY(bool mute READ mute WRITE setMute NOTIFY muteChanged)
    Q_PROPERTY(
        bool alreadyImportVideo READ alreadyImportVideo WRITE setAlreadyImportVideo NOTIFY alreadyImportVideoChanged)
    Q_PROPERTY(bool isOpenPlayer READ isOpenPlayer WRITE setIsOpenPlayer NOTIFY isOpenPlayerChanged)
    Q_PROPERTY(bool isPlaying READ isPlaying WRITE setIsPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(bool autolaunch READ autolaunch WRITE setAutolaunch NOTIFY autolaunchChanged)
public:
    // The suite of the application group, opened once; registration runs at its creation.
    static platform::DefaultsSuite& sharedDefaults();
    // The process-wide object, its file kept by a worker thread.
    static Preferences& shared();

    // Writes the five registered defaults where the suite holds nothing, then synchronizes.
    static void registerSharedDefaults(platform::DefaultsSuite& suite);

    // Reads all ten keys of `suite` without setters; starts no timer.
    explicit Preferences(platform::DefaultsSuite& suite);
    ~Preferences() override;

    // Hands the file to a worker thread: setters queue their change, the worker writes the
    // changes in order, looks for the other program's (file notifications on the folder, a poll
    // where none come) and posts what it read back. A change that could not be written is tried
    // again with the next change and at a growing interval. Call once, before any setter.
    void startBackgroundStore();
    // Waits until every change made so far has been tried on the file and what the worker read
    // has been taken in (tests, the quit). True when nothing is left unwritten.
    bool flush();
    // Writes what is queued and stops the worker; later changes are written on the caller's thread.
    void stopBackgroundStore();

    // The suite these values are read from and written to.
    platform::DefaultsSuite& defaults() const { return suite_; }

    qint64 monitorArrange() const { return monitorArrange_; }
    qint64 screenIndex() const { return screenIndex_; }
    qint64 playModel() const { return playModel_; }
    std::optional<QString> playingVideoSign() const { return playingVideoSign_; }
    float volume() const { return volume_; }
    bool mute() const { return mute_; }
    bool alreadyImportVideo() const { return alreadyImportVideo_; }
    bool isOpenPlayer() const { return isOpenPlayer_; }
    bool isPlaying() const { return isPlaying_; }
    bool autolaunch() const { return autolaunch_; }

    void setMonitorArrange(qint64 value);
    void setScreenIndex(qint64 value);
    void setPlayModel(qint64 value);
    void setPlayingVideoSign(const std::optional<QString>& value);
    void setVolume(float value);
    void setMute(bool value);
    void setAlreadyImportVideo(bool value);
    void setIsOpenPlayer(bool value);
    void setIsPlaying(bool value);
    void setAutolaunch(bool value);

    // One re-read pass of the suite; with the worker, waits for its pass.
    void updateUserDefaultFromDisk();

    // A stored volume that is not a number reads as 0.5; others are clamped to 0..1.
    static float sanitizedVolume(double stored);

signals:
    void monitorArrangeChanged(qint64 value);
    void screenIndexChanged(qint64 value);
    void playModelChanged(qint64 value);
    void playingVideoSignChanged(const std::optional<QString>& value);
    void volumeChanged(float value);
    void muteChanged(bool value);
    void alreadyImportVideoChanged(bool value);
    void isOpenPlayerChanged(bool value);
    void isPlayingChanged(bool value);
    void autolaunchChanged(bool value);
    // A change could not be written to the settings file; told once per object (the change
    // still holds in this program until it quits).
    void settingsNotWritten(const QString& path);

public:
    // The ten values as the suite holds them.
    struct Stored {
        qint64 monitorArrange = 0, screenIndex = 0, playModel = 0;
        std::optional<QString> playingVideoSign;
        float volume = 0.0f;
        bool mute = false, alreadyImportVideo = false, isOpenPlayer = false, isPlaying = false, autolaunch = false;
        static Stored read(const platform::DefaultsSuite& suite);
    };

private:
    friend class PreferencesStore;
    void assertMainThread() const;
    // Records a change of `key` (an invalid value removes it): queued to the worker, or written
    // to the suite here (synchronized when `now`).
    void write(const QString& key, const QVariant& value, bool now = true);
    // Writes the suite; the first failure is logged and told.
    void save();
    void tellNotWritten();
    // Takes in what a pass read; `through` is the last change of ours the suite held then, so
    // a key changed here since keeps its newer value.
    void adoptStored(const Stored& stored, quint64 through);
    // A value the re-read found in the suite: kept and told, not written back. Writing it back
    // could put it over a newer value the other program wrote in the meantime.
    template <typename T, typename Signal>
    void adopt(T& field, const T& value, Signal changed) {
        field = value;
        emit(this->*changed)(value);
    }

    platform::DefaultsSuite& suite_;
    PreferencesStore* store_ = nullptr;  // lives on thread_
    QThread* thread_ = nullptr;
    quint64 changeCount_ = 0;               // numbers our changes in order
    QHash<QString, quint64> lastChangeOf_;  // key -> number of its last change here

    qint64 monitorArrange_ = 0;
    qint64 screenIndex_ = 0;
    qint64 playModel_ = 0;
    std::optional<QString> playingVideoSign_;
    float volume_ = 0.0f;
    bool mute_ = false;
    bool alreadyImportVideo_ = false;
    bool isOpenPlayer_ = false;
    bool isPlaying_ = false;
    bool autolaunch_ = false;
    bool writeFailureTold_ = false;
};

namespace PreferencesKey {
inline const QString monitorArrange = QStringLiteral("MonitorArrange");
inline const QString screenIndex = QStringLiteral("ScreenIndex");
inline const QString playModel = QStringLiteral("PlayModel");
inline const QString currentVideoSign = QStringLiteral("CurrentVideoSign");
inline const QString volume = QStringLiteral("Volume");
inline const QString mute = QStringLiteral("Mute");
inline const QString alreadyImportVideo = QStringLiteral("alreadyImportVideo");
inline const QString isOpenPlayer = QStringLiteral("IsOpenPlayer");
inline const QString isPlaying = QStringLiteral("isPlaying");
inline const QString autolaunch = QStringLiteral("autolaunch");
}  // namespace PreferencesKey
