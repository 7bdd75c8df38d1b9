#pragma once
#include "platform/Log.h"
#include "player/PlayerInterfaces.h"
#include "player/VideoRenderer.h"

#include <atomic>
#include <memory>

struct mpv_handle;
struct mpv_event;

// The decoder threads for a video whose largest picture is `picture` (0: automatic).
int decoderThreadsFor(const QSize& picture);

// The one media player of the desktop player: a libmpv core that decodes (with hardware help
// where the machine offers it) and hands its frames to one renderer. It starts paused and
// without an item. At the end of an item it stays on the item's last frame and reports the
// end; the next item then plays at the same rate.
class MpvPlayer final : public MediaPlayer {
    Q_OBJECT
public:
    explicit MpvPlayer(std::unique_ptr<VideoRenderer> renderer, QObject* parent = nullptr);
    ~MpvPlayer() override;

    bool isValid() const { return mpv_ != nullptr; }

    quint64 replaceItem(const QUrl& url) override;
    quint64 currentItem() const override { return current_; }
    void play() override;
    void pause() override;
    bool isPlaying() const override { return playing_; }
    void seekToZero() override;
    void setMuted(bool muted) override;
    bool isMuted() const override { return muted_; }
    void setVolume(float volume) override;
    float volume() const override { return volume_; }
    Failure lastFailure() const override { return lastFailure_; }
    VideoRenderer* renderer() override { return renderer_.get(); }
    void releaseMemory() override;
    // Where the item is (seconds), and whether a sound track is being decoded.
    double position() const;
    bool decodesSound() const;
    // The decoder's thread count for the loaded file (0: as many as the machine has cores).
    int decoderThreads() const;

private:
    static void onWakeup(void* context);
    void drainEvents();
    void handleEvent(const mpv_event& event);
    void failLater(quint64 item);
    bool hasVideoTrack() const;
    void limitDecoderThreads();
    void logDecoder();
    void makeCore();
    void destroyCore();

    mpv_handle* mpv_ = nullptr;
    std::unique_ptr<VideoRenderer> renderer_;
    std::atomic_bool wakeupPending_{false};
    quint64 current_ = 0;
    // The entry mpv's event stream is at: events arrive in order, so an end reported while it
    // is at entry N belongs to entry N even when a newer item has been asked for meanwhile.
    quint64 streamEntry_ = 0;
    quint64 localItems_ = quint64(1) << 48;
    bool loaded_ = false;
    quint64 decoderLogged_ = 0;  // the entry whose decoder the log has named
    quint64 failedEntry_ = 0;    // an entry failed for want of a picture: its start is no start
    Failure lastFailure_ = Failure::unplayable;
    // Whatever mpv says, the log gets a few lines a minute at most.
    platform::RepeatedLines mpvLines_{&platform::logLine, 10 * 60 * 1000, 64, 60};
    bool playing_ = false;
    bool muted_ = false;
    float volume_ = 1.0f;
};
