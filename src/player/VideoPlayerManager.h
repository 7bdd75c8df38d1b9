#pragma once
#include "player/PlayerInterfaces.h"
#include "shared/Disposable.h"
#include "shared/Preferences.h"
#include "shared/VideoDetail.h"

class LocalVideoDBManager;
class QFileSystemWatcher;

#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Maps a stored integer to an arrangement or a play mode: 0, 1 and 2 give their case, every
// other value (negative ones too) gives none.
std::optional<VideoPlayerScreenType> screenTypeFromInteger(qint64 value);
std::optional<VideoPlayerPlayModel> playModelFromInteger(qint64 value);

// What a stored video URL's file is now: there and readable, certainly gone (no URL of a file,
// or no such name in a folder that can be read), or unknown (unreadable, a folder out of sight,
// an I/O error), which is no reason to delete its row. `reason` says why in the user's words.
struct VideoFile {
    enum State { present, absent, unknown } state;
    QString reason;
};
VideoFile checkVideoFile(const QString& url);

// The play list: the rows of the database in play order, with a cursor.
class VideoInfoList {
public:
    bool isEmpty() const { return items_.empty(); }
    int count() const { return int(items_.size()); }
    const std::vector<VideoDetail>& items() const { return items_; }

    void append(VideoDetail video);
    void removeAll();

    // The cursor; none only when the list is empty.
    std::optional<int> currentIndex() const { return current_; }
    const VideoDetail* current() const;
    void setCurrentIndex(std::optional<int> index) { current_ = index; }
    // Moves the cursor to the first entry with `sign`; false (cursor unchanged) when none has it.
    bool moveToSign(const QString& sign);
    // One step forward; from the last entry (or no cursor) back to the first.
    void advanceWrapping();
    bool atTail() const { return current_ && *current_ + 1 >= count(); }

private:
    std::vector<VideoDetail> items_;
    std::optional<int> current_;
};

// The desktop player's one video player: the play list and its modes, the reactions to the
// shared settings, and the wallpaper windows on the screens. Main thread only.
class VideoPlayerManager : public QObject {
    Q_OBJECT
public:
    // The process-wide instance on the real screens and the real player, made on first use
    // (start-up code only; tests build theirs on fakes).
    static VideoPlayerManager& shared();

    // Reads the settings and starts observing them, the library notice and space changes.
    // Makes no window and no player yet.
    VideoPlayerManager(WallpaperPlatform& platform, Preferences& preferences, LocalVideoDBManager& database,
                       QObject* parent = nullptr);
    ~VideoPlayerManager() override;

    VideoPlayerScreenType screenType() const { return screenType_; }
    void setScreenType(VideoPlayerScreenType type) { screenType_ = type; }
    qint64 screenIndex() const { return screenIndex_; }
    void setScreenIndex(qint64 index) { screenIndex_ = index; }
    VideoPlayerPlayModel playModel() const { return playModel_; }

    // The one player; the first call makes it and loads the first playable entry.
    MediaPlayer& player();
    bool hasPlayer() const { return player_ != nullptr; }
    bool isMuted();
    void setMuted(bool muted);
    float volume();
    void setVolume(float volume);

    bool isHideDesktopIcon() const { return isHideDesktopIcon_; }
    const VideoInfoList& videoList() const { return videoList_; }
    const QList<QRect>& currentScreenList() const { return currentScreenList_; }
    const std::vector<std::unique_ptr<WallpaperWindow>>& windowList() const { return windowList_; }

    // Play list and modes.
    // `wait`: whether to wait (a few seconds) for a database the other program holds.
    void rebuildVideoList(bool wait = true);
    static std::vector<VideoDetail> shuffledVideoList(const std::vector<VideoDetail>& rows,
                                                      const std::function<quint32(quint32)>& uniform);
    bool playVideoWithSign(const QString& sign);
    bool videoIsPlayable(const QString& sign);
    void playNextVideo();
    void syncPlayingSign();
    void setPlaying(bool playing);
    void addStatusObserver();
    void removeStatusObserver();
    void playerItemDidReachEnd();
    void updateVideoList();

    // Windows.
    void setupWindows();
    void rebuildWindows();
    QList<QRect> playerViewFrames() const;
    static QList<QRect> playerViewFrames(VideoPlayerScreenType type, const QList<QRect>& screens);
    void placeWindow(WallpaperWindow& window);
    void placeAllWindows();
    void openPlayer();
    void closePlayer();
    void checkScreensChanged();
    void hideDesktopIcon(bool hide);
    void activeSpaceDidChange();
    // Target of the click on a wallpaper window.
    Q_INVOKABLE void tapVideoPlayerViewAction();

    // A video that crashed the player in an earlier run: skipped like a missing file until the
    // user chooses it again, and the user is told which and why.
    void skipCrashedVideo(const QString& sign);
    const QStringList& crashedVideos() const { return crashedVideos_; }

    // The random source of the shuffle (uniform in 0 .. n-1); tests seed their own.
    void setRandomSource(std::function<quint32(quint32)> uniform) { uniform_ = std::move(uniform); }

private:
    // The screens the windows are for, of the platform's `screens`; `firstScreen` is the
    // platform's number of the first.
    QList<QRect> windowScreens(const QList<QRect>& screens, qsizetype& firstScreen) const;
    // A window for each of them, placed.
    void makeWindows();
    // The playable entry from the cursor: in single mode the cursor's alone, otherwise the first
    // of one pass. With none, `problem` says what keeps the cursor's entry from playing.
    std::optional<QUrl> findPlayableEntry(QString* problem);
    // Loads the playable entry found from the cursor (none: no item) and tells the crash record.
    void loadPlayableEntry();
    // With every entry left skipped for a crash, the wallpaper goes off and says so.
    void switchOffWhenNothingIsLeft();
    // Sets the wallpaper's switch off, from the event loop.
    void switchOff();
    QString shownName(const QString& sign);
    void storeCrashedVideos();
    void onItemEnded(quint64 item);
    void onItemFailed(quint64 item);
    void onItemStarted(quint64 item);
    void resetFailureCount() { consecutiveFailures_ = 0; }
    // What the video of the sign is now; none when the database did not answer (the other
    // program holds it), which is no reason to delete its row. A sign without a row is absent.
    std::optional<VideoFile> playability(const QString& sign, bool wait, QString* path = nullptr);
    // playVideoWithSign; a late answer (`late`) reads without waiting and opens the player only
    // while the switch is on.
    bool chooseVideo(const QString& sign, bool late);
    // Asks the database again a little later what it did not answer now.
    void lookAgainLater();
    void lookAgain();
    // Nothing can be played now: nothing is loaded, no window shows, the user is told why, and
    // loading is tried again after a growing pause, or when the file or its folder changes.
    void waitForPlayable(const QString& problem, const QString& path);
    void retryLoad();
    // The loaded file changed on disk: it is loaded again, or, gone, the next one plays.
    void reviewLoadedFile();
    void watchFile(const QString& path, bool withFolder);
    void reloadCurrent();

    WallpaperPlatform& platform_;
    Preferences& preferences_;
    LocalVideoDBManager& database_;

    VideoPlayerScreenType screenType_ = VideoPlayerScreenType::dynamic;
    qint64 screenIndex_ = 0;
    VideoPlayerPlayModel playModel_ = VideoPlayerPlayModel::single;
    std::unique_ptr<MediaPlayer> player_;
    QList<QRect> currentScreenList_;
    std::vector<std::unique_ptr<WallpaperWindow>> windowList_;
    VideoInfoList videoList_;
    bool isHideDesktopIcon_ = false;
    std::vector<DisposablePtr> observerDisposables_;
    DisposablePtr updateVideoListDispose_;

    std::function<quint32(quint32)> uniform_;
    // The item whose failures are watched (the status observer), 0 for none.
    quint64 observedItem_ = 0;
    // Failed items in a row; the advance stops once a whole pass of the list has failed.
    int consecutiveFailures_ = 0;
    // Signs of videos that crashed the player, kept in the player's own settings.
    QStringList crashedVideos_;
    // The last read of the play list found the database held: the list shown is the one before
    // (or none), and the stored sign is not to be taken for gone.
    bool listUnread_ = false;
    // A chosen video whose row could not be looked up yet.
    std::optional<QString> signToLookUp_;
    QTimer* lookAgainTimer_ = nullptr;
    // Nothing plays because nothing can be played now (waitForPlayable).
    bool waiting_ = false;
    // The sign of the video a problem reported here is about, cleared once it plays; empty: the
    // whole list.
    std::optional<QString> problemSign_;
    int retryDelayMs_ = 0;
    QTimer* retryTimer_ = nullptr;
    // The file loaded in the player and what it was at loading, to see it change.
    QString loadedSign_;
    QString loadedPath_;
    QByteArray loadedStamp_;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* fileQuietTimer_ = nullptr;
};
