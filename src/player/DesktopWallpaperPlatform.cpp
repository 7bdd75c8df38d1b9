#include "player/DesktopWallpaperPlatform.h"

namespace {
class NullPlayer final : public MediaPlayer {
public:
    quint64 replaceItem(const QUrl& url) override { return current_ = url.isEmpty() ? 0 : ++next_; }
    quint64 currentItem() const override { return current_; }
    void play() override { playing_ = true; }
    void pause() override { playing_ = false; }
    bool isPlaying() const override { return playing_; }
    void seekToZero() override {}
    void setMuted(bool muted) override { muted_ = muted; }
    bool isMuted() const override { return muted_; }
    void setVolume(float volume) override { volume_ = volume; }
    float volume() const override { return volume_; }

private:
    quint64 current_ = 0, next_ = 0;
    bool playing_ = false, muted_ = false;
    float volume_ = 0;
};

class StubPlatform final : public WallpaperPlatform {
public:
    QList<QRect> screens() const override { return {}; }
    std::unique_ptr<WallpaperWindow> makeWindow(const QRect&, const QRect&, MediaPlayer&, QObject*) override {
        return nullptr;
    }
    std::unique_ptr<MediaPlayer> makePlayer() override { return std::make_unique<NullPlayer>(); }
};
}

WallpaperPlatform& desktopWallpaperPlatform() {
    static auto* platform = new StubPlatform;
    return *platform;
}
