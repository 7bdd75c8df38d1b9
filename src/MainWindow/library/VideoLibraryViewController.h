#pragma once
#include "MainWindow/startup/MainParts.h"
#include "MainWindow/search/SearchField.h"
#include "MainWindow/library/WQCollectionView.h"
#include "shared/Disposable.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <optional>
#include <memory>
#include <vector>

class DetailPaneCoordinator;
class DownloadViewModel;
class LocalLibraryParts;
class OnlineControls;
class LibraryViewModel;
class LocalLibraryViewModel;
class QLabel;
class QToolButton;
class QVBoxLayout;
class TabTitleView;
class VideoDetailView;
class WebLibraryRefreshSubView;
class WebLibraryViewModel;

// The library screen, the main window's first content: three tab headers (local, online,
// downloads), the page counter, one list that shows one of three view models, and the places
// of the detail pane, the now-playing strip, the player bar and the online controls.
//
// Widgets are built in code; each carries an object name ("localTab", "onlineTab",
// "downloadTab", "pageStatus", "collectionView", "collectionViewContainer", "detailPaneSlot",
// "nowPlayingSlot", "bottomArea", "onlineControlsSlot", ...).
class VideoLibraryViewController : public QObject, public SearchFieldDelegate {
    Q_OBJECT
public:
    explicit VideoLibraryViewController(const MainParts& parts, QWidget* parent = nullptr);
    ~VideoLibraryViewController() override;

    // The screen ("videoLibraryView"); the main window places it. It goes with the controller.
    QWidget* view() const { return view_; }

    // Lazily made members, kept for the controller's life.
    WQCollectionView* collectionView();
    LocalLibraryViewModel* localLibraryViewModel();
    WebLibraryViewModel* webLibraryViewModel();
    DownloadViewModel* downloadViewModel();
    ColumnLayout* columnLayout();
    ListLayout* listLayout();

    TabTitleView* localTab() const { return localTab_; }
    TabTitleView* onlineTab() const { return onlineTab_; }
    TabTitleView* downloadTab() const { return downloadTab_; }
    // The online header's title (the chosen category) and its category control.
    QToolButton* onlineTabTitle() const { return onlineTabTitle_; }
    QToolButton* categoryButton() const { return categoryButton_; }
    QLabel* pageStatus() const { return pageStatus_; }
    QWidget* collectionViewContainer() const { return collectionViewContainer_; }

    // Places for the pieces that other parts of the screen bring; each has a QVBoxLayout
    // (QHBoxLayout for the online controls) with no margins, empty until filled.
    QWidget* detailPaneSlot() const { return detailPaneSlot_; }
    QWidget* nowPlayingSlot() const { return nowPlayingSlot_; }
    QWidget* bottomArea() const { return bottomArea_; }
    QWidget* onlineControlsSlot() const { return onlineControlsSlot_; }
    // The detail pane in its slot, and the online list's overlay (none until first shown).
    VideoDetailView* detailView() const;
    WebLibraryRefreshSubView* refreshSubView() const { return refreshSubView_; }

    // Shows the tab of a header (local, online or download; anything else does nothing).
    void switchTab(QWidget* tab);
    // The same without touching the counter's visibility and without the after-binding loads:
    // searches, category choices and the import's end switch tabs this way.
    void switchTabKeepingCounter(QWidget* tab);
    // A click on a header at `position` (header coordinates).
    void tabClicked(QWidget* tab, QPoint position);
    // Rewrites the page counter from the bound model: "count/total".
    void updatePageStatus();
    // Between the lists and the detail pane: selections to the pane, its requests to the screen.
    DetailPaneCoordinator* detailPaneCoordinator() const { return detailPaneCoordinator_; }
    // The download tab.
    void showDownloadList();

    // The online catalogue's controls ("sortPopUp", "hottagsView" and "newsLinkButton" in the
    // online controls' slot, the category menu).
    OnlineControls* onlineControls() const { return onlineControls_; }

    // SearchFieldDelegate
    void searchSuggestions(const QString& text, SuggestionsCompletion completion) override;
    void searchVideos(const QString& text) override;

    // Makes `sign` the wallpaper, switching the wallpaper on when it was off.
    virtual void playVideo(const QString& sign);

    // The local tab's parts: the player bar, the now-playing strip, the import button, the upload
    // link, the drop zone over the list and the first-run import.
    LocalLibraryParts* localParts() const { return localParts_; }

signals:
    // A click on the online header's category control.
    void categoryMenuRequested();
    // The online list, the local list or the detail pane asks for a video's preview page (a web address); the
    // main window shows it in its preview window, keeping that window's frame.
    void previewRequested(const QUrl& url);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Tab { local, online, download };
    std::optional<Tab> tabOf(QWidget* header) const;
    void showTab(Tab tab, bool touchCounter, bool load);
    void setHighlights(Tab tab);
    // Shows, places or removes the overlay as the online model asks.
    void updateOverlay();
    void placeOverlay();
    // One DownloadItemCell per row of the download tab, while it is shown.
    void buildDownloadCells();
    TabTitleView* makeTab(const QString& objectName, const QString& title, QToolButton** titleButton);

    MainParts parts_;
    QPointer<QWidget> view_;
    TabTitleView* localTab_ = nullptr;
    TabTitleView* onlineTab_ = nullptr;
    TabTitleView* downloadTab_ = nullptr;
    QToolButton* onlineTabTitle_ = nullptr;
    QToolButton* categoryButton_ = nullptr;
    QLabel* pageStatus_ = nullptr;
    QWidget* collectionViewContainer_ = nullptr;
    QWidget* detailPaneSlot_ = nullptr;
    QWidget* nowPlayingSlot_ = nullptr;
    QWidget* bottomArea_ = nullptr;
    QWidget* onlineControlsSlot_ = nullptr;
    QWidget* hotTagsSlot_ = nullptr;
    QPointer<VideoDetailView> detailView_;
    OnlineControls* onlineControls_ = nullptr;
    WebLibraryRefreshSubView* refreshSubView_ = nullptr;

    LocalLibraryParts* localParts_ = nullptr;

    WQCollectionView* collectionView_ = nullptr;
    LocalLibraryViewModel* localLibraryViewModel_ = nullptr;
    WebLibraryViewModel* webLibraryViewModel_ = nullptr;
    DownloadViewModel* downloadViewModel_ = nullptr;
    std::unique_ptr<ColumnLayout> columnLayout_;
    std::unique_ptr<ListLayout> listLayout_;

    std::vector<DisposablePtr> observeDispose_;
    DisposablePtr amountObservation_;
    DetailPaneCoordinator* detailPaneCoordinator_ = nullptr;
};
