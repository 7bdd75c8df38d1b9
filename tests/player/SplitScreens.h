#pragma once
// The desktop platform with its one screen cut into a left and a right half: two screens side
// by side on one wide Xvfb screen, for the benchmark and the OpenGL runs of the pixel tests.
#include "player/PlayerInterfaces.h"

class SplitScreenPlatform final : public WallpaperPlatform {
public:
    explicit SplitScreenPlatform(WallpaperPlatform& real) : real_(real) {}
    QList<QRect> screens() const override {
        const QRect whole = real_.screens().value(0);
        const int half = whole.width() / 2;
        return {QRect(whole.x(), whole.y(), half, whole.height()),
                QRect(whole.x() + half, whole.y(), whole.width() - half, whole.height())};
    }
    std::unique_ptr<WallpaperWindow> makeWindow(const QRect& screen, const QRect& playerViewFrame, MediaPlayer& player,
                                                QObject* clickTarget) override {
        return real_.makeWindow(screen, playerViewFrame, player, clickTarget);
    }
    std::unique_ptr<MediaPlayer> makePlayer() override { return real_.makePlayer(); }

private:
    WallpaperPlatform& real_;
};
