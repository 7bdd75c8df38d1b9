#pragma once
#include "MainWindow/startup/MainParts.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class ButtonWithLinkTitle;
class LocalLibraryViewModel;
class NowPlayingView;
class PlayerBarView;
class QPushButton;
class QWidget;
class SampleVideoImport;
class ViewWithDrag;
class WQCollectionView;

// The library screen's local parts: the player bar, the now-playing strip, the import button,
// the upload link, the drop zone over the list, the local model's windows (file dialog, clear
// confirmation, import progress) and the first-run import.
class LocalLibraryParts : public QObject {
    Q_OBJECT
public:
    // Where the parts live on the screen (all outlive this object's use of them).
    struct Places {
        QWidget* screen = nullptr;  // parent of the dialogs' window
        WQCollectionView* list = nullptr;
        QWidget* nowPlayingSlot = nullptr;
        QWidget* bottomArea = nullptr;
    };
    // What the parts ask of the screen.
    struct Hooks {
        std::function<void()> showLocal;                // the local tab, as a header click
        std::function<void()> showLocalKeepingCounter;  // the local tab, the counter as it is
        std::function<void(const QUrl&)> showPreview;   // the preview window with a page
    };

    LocalLibraryParts(const MainParts& parts, LocalLibraryViewModel& model, const Places& places, Hooks hooks,
                      QObject* parent = nullptr);

    PlayerBarView* playerBar() const { return playerBar_; }
    NowPlayingView* nowPlayingView() const { return nowPlayingView_; }
    QPushButton* importVideoButton() const { return importVideoButton_; }
    ButtonWithLinkTitle* uploadLink() const { return uploadLink_; }
    ViewWithDrag* dragView() const { return dragView_; }
    SampleVideoImport* sampleImport() const { return sampleImport_; }

    // The first-run import, on every showing of the screen until it has run once.
    void importSampleVideosIfNeeded();
    // The import button: a non-modal file dialog; chosen files show the local tab and are imported.
    void importLocalVideo();
    // Opens the upload page of the web site.
    void uploadVideo();
    // The now-playing title's click: the local tab with the playing video selected.
    void showPlayingVideo(const std::optional<QString>& sign);
    // A non-modal dialog for ".mp4" and ".mov" files; `chosen` gets the files that fit.
    void chooseVideoFiles(std::function<void(const QList<QUrl>&)> chosen);

private:
    MainParts parts_;
    LocalLibraryViewModel& model_;
    QWidget* screen_;
    WQCollectionView* list_;
    QWidget* nowPlayingSlot_;
    QWidget* bottomArea_;
    Hooks hooks_;
    PlayerBarView* playerBar_ = nullptr;
    NowPlayingView* nowPlayingView_ = nullptr;
    QPushButton* importVideoButton_ = nullptr;
    ButtonWithLinkTitle* uploadLink_ = nullptr;
    ViewWithDrag* dragView_ = nullptr;
    SampleVideoImport* sampleImport_ = nullptr;
};
