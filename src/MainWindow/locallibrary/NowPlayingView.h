#pragma once
#include <QWidget>
#include <functional>
#include <optional>

#include "shared/Disposable.h"

class ButtonWithLinkTitle;
class LocalVideoDBManager;
class PlayerStatus;
class Preferences;
class QLabel;
class QSvgWidget;

// The strip in the library screen's bottom area: an animated icon and "Playing" with the playing
// video's title as a blue link while the video wallpaper is on, a still icon and
// "No Video Played" while it is off. A click on the title hands the playing sign to the screen.
// Beside them, one line of plain text says why the wallpaper cannot be shown, when the desktop
// player says so or has stopped; a stopped player shows as off.
class NowPlayingView : public QWidget {
    Q_OBJECT
public:
    // The settings and the database must outlive the view.
    NowPlayingView(Preferences& preferences, LocalVideoDBManager& database, QWidget* parent = nullptr);

    // The open flag as the screen last handed it over.
    bool isOpenPlay = false;
    // What a click on the shown title does; gets the playing sign of that moment (or none).
    std::function<void(const std::optional<QString>&)> clickVideoTitleClosure;

    // Redraws icon, status text and title from isOpenPlay and the playing sign.
    void updatePlayingStatus();
    // Follows the desktop player's state and reports (it must outlive the view).
    void setPlayerStatus(PlayerStatus* status);
    bool isPlayerStopped() const;
    // The whole line of the player's problem (the label may show it shortened).
    QString problemText() const { return problemText_; }

    QString statusText() const;
    QString titleText() const;
    // The icon resource shown now (":/library/playing.svg" or ":/library/no_playing.svg").
    QString iconResource() const { return iconResource_; }
    // Whether the icon's picture moves.
    bool isIconAnimated() const;

    // Where the two icons come from; a missing file loads nothing and the texts still change.
    QString playingImage = QStringLiteral(":/library/playing.svg");
    QString noPlayingImage = QStringLiteral(":/library/no_playing.svg");

private:
    void playingSignChanged(const std::optional<QString>& sign);
    void showTitleOfSign(const QString& sign);
    void setTitle(const QString& title);
    void loadIcon(const QString& resource);
    void clickVideoTitle();
    void showProblem();
    void resizeEvent(QResizeEvent* event) override;

    Preferences& preferences_;
    LocalVideoDBManager& database_;
    static constexpr int kLookUpAgainMs = 250;
    QSvgWidget* statusIcon_;
    QLabel* statusLabel_;
    ButtonWithLinkTitle* playingFileNameLabel_;
    QLabel* problemLabel_;
    PlayerStatus* playerStatus_ = nullptr;
    QString problemText_;
    QString iconResource_;
    QString title_;
    DisposablePtr observeDispose_;
};
