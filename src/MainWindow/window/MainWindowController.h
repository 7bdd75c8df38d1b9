#pragma once
#include "MainWindow/startup/MainParts.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QUrl>
#include <memory>
#include <vector>

class AboutViewController;
class ConfigWindowController;
class NewFeaturesViewControlller;
class QAbstractButton;
class QLineEdit;
class QMainWindow;
class QWidget;
class PreviewVideoWindow;
class QRCodeController;
class VideoLibraryViewController;

// The main window of Tavvel: a title row (web site, mobile app, help, settings, search field),
// the left pane with the menu bar and the right pane whose one cell shows one content view at a
// time (0 the library screen, 1 the about page). Built once and kept for the process; closing
// the window only hides it.
class MainWindowController : public QObject {
    Q_OBJECT
public:
    explicit MainWindowController(const MainParts& parts, QObject* parent = nullptr);
    ~MainWindowController() override;

    QMainWindow* window() const { return window_; }
    // Shows the window (created hidden).
    void showWindow();

    QLineEdit* searchField() const { return searchField_; }
    QWidget* leftSideBar() const { return leftSideBar_; }
    QWidget* leftMenuBar() const { return leftMenuBar_; }
    QWidget* rightSplitContentView() const { return rightSplitContentView_; }
    QAbstractButton* webSite() const { return webSite_; }
    QAbstractButton* mobileApp() const { return mobileApp_; }
    QAbstractButton* help() const { return help_; }
    QAbstractButton* setting() const { return setting_; }
    const std::vector<QWidget*>& contentViews() const { return contentViews_; }
    // The library screen, content view 0 ("videoLibraryView").
    VideoLibraryViewController* videoLibraryViewController() const { return videoLibraryViewController_; }

    // Shows content view `index` and hides the others; an index outside the list hides all.
    void showContent(int index);

    // The settings window, centred on the main window (the settings button and the menu).
    void showPreferences();
    // The new-features guide.
    void showNewFeatures();
    // The QR-code window, the web site or the help page, by the button that was pressed.
    void showWebSite(QObject* sender);

    // Loads `url` into the preview window; a frame other than the null rectangle becomes the
    // window's geometry first.
    void showPreviewWindow(const QUrl& url, QRect frame = QRect());
    // The preview window, created on first use.
    PreviewVideoWindow& webViewWindow();
    bool hasPreviewWindow() const { return webViewWindow_ != nullptr; }
    QRCodeController& qrC() const { return *qrC_; }
    AboutViewController& aboutViewController() const { return *aboutViewController_; }
    // Made by the first showPreferences() / showNewFeatures(); null before.
    ConfigWindowController* configWindowController() const { return configWindowController_.get(); }
    NewFeaturesViewControlller* newFeaturesViewController() const { return newFeatures_.get(); }

private:
    void buildWindow();
    void layoutContentViews();
    void installLeftMenuBar();
    void styleTitleButtons();
    void windowDidLoad();

    MainParts parts_;
    QMainWindow* window_ = nullptr;
    QWidget* titleRow_ = nullptr;
    QWidget* leftSideBar_ = nullptr;
    QWidget* leftMenuBar_ = nullptr;
    QWidget* rightSplitContentView_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    QAbstractButton* webSite_ = nullptr;
    QAbstractButton* mobileApp_ = nullptr;
    QAbstractButton* help_ = nullptr;
    QAbstractButton* setting_ = nullptr;
    std::vector<QWidget*> contentViews_;
    VideoLibraryViewController* videoLibraryViewController_ = nullptr;
    std::unique_ptr<QRCodeController> qrC_;
    std::unique_ptr<PreviewVideoWindow> webViewWindow_;
    std::unique_ptr<AboutViewController> aboutViewController_;
    std::unique_ptr<ConfigWindowController> configWindowController_;
    std::unique_ptr<NewFeaturesViewControlller> newFeatures_;
};
