#pragma once
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

namespace platform {
class DefaultsSuite;
}  // namespace platform

// Monitor arrangement stored under "MonitorArrange".
enum class VideoPlayerScreenType : qint64 { combo = 0, dynamic = 1, lonely = 2 };
// Play mode stored under "PlayModel".
enum class VideoPlayerPlayModel : qint64 { single = 0, list = 1, random = 2 };

// The settings object of a process, over the application group's shared suite.
// Setters write the suite and notify observers synchronously; a one-second re-read feeds
// changes made by the other program back through the same setters. Every setting is also a
// property by its name, with its change signal, so controls can be bound to it by name.
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
    // The process-wide object with its re-read timer.
    static Preferences& shared();

    // Writes the five registered defaults where the suite holds nothing, then synchronizes.
    static void registerSharedDefaults(platform::DefaultsSuite& suite);

    // Reads all ten keys of `suite` without setters; starts no timer.
    explicit Preferences(platform::DefaultsSuite& suite);

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

    // One re-read pass of the suite (the timer's action).
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

private:
    void assertMainThread() const;
    // Writes the suite; the first failure is logged and told.
    void save();
    float readVolume() const;
    // A value the re-read found in the suite: kept and told, not written back. Writing it back
    // could put it over a newer value the other program wrote in the meantime.
    template <typename T, typename Signal>
    void adopt(T& field, const T& value, Signal changed) {
        field = value;
        emit(this->*changed)(value);
    }

    platform::DefaultsSuite& suite_;
    QTimer* timer_ = nullptr;

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
