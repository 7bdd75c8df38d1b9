#pragma once
#include "MainWindow/startup/MainParts.h"
#include "shared/CatalogueModels.h"
#include "shared/Disposable.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class ButtonWithColorfulLink;
class QAction;
class QComboBox;
class QMenu;
class QToolButton;
class QWidget;
class WebLibraryViewModel;

// The online catalogue's controls on the library screen: the category menu of the online
// header, the sort choice, the hot tags and the news line from the heartbeat. Each choice builds
// its request from the service client's latest one and hands it to the online model.
class OnlineControls : public QObject {
    Q_OBJECT
public:
    // Where the controls live on the screen (all outlive this object's use of them).
    struct Places {
        QWidget* slot = nullptr;      // "sortPopUp" and "newsLinkButton" go here
        QWidget* tagsSlot = nullptr;  // "hottagsView" goes here (in `slot` when null)
        QToolButton* categoryButton = nullptr;
        QToolButton* onlineTabTitle = nullptr;  // shows the chosen category
        QWidget* menuParent = nullptr;
    };
    // What the controls ask of the screen.
    struct Hooks {
        std::function<void()> showOnline;                // the online tab, as a header click
        std::function<void()> showOnlineKeepingCounter;  // the online tab, the counter as it is
        std::function<void(const QString&)> search;      // a search for the words
    };

    OnlineControls(const MainParts& parts, WebLibraryViewModel& model, const Places& places, Hooks hooks,
                   QObject* parent = nullptr);

    QComboBox* sortPopUp() const { return sortPopUp_; }
    QWidget* hottagsView() const { return hottagsView_; }
    ButtonWithColorfulLink* newsLinkButton() const { return newsLinkButton_; }

    // A new menu of the base info's categories on every call; it deletes itself once closed.
    QMenu* categoryMenu();
    void showCategoryMenu();
    void menuDidClose();
    void switchCategory(QAction* item);
    void refreshVideoListOnSort();
    void showHotTags(const std::optional<BaseInfoResponse>& reply);
    // The most hot tags built: more would only crowd the screen.
    static constexpr int kMaxHotTags = 20;
    void hottagClickAction(const QString& tag);
    void updateNewsLink();
    void openNewsURL();

private:
    MainParts parts_;
    WebLibraryViewModel& model_;
    QWidget* slot_;
    QToolButton* categoryButton_;
    QToolButton* onlineTabTitle_;
    QWidget* menuParent_;
    Hooks hooks_;
    QComboBox* sortPopUp_ = nullptr;
    QWidget* hottagsView_ = nullptr;
    ButtonWithColorfulLink* newsLinkButton_ = nullptr;
    DisposablePtr heartbeatObservation_;
};
