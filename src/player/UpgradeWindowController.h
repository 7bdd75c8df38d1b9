#pragma once
#include "service/UpgradeInfo.h"

#include <QDialog>
#include <QPointer>
#include <QTextBrowser>
#include <optional>

#include "views/ButtonWithHoverBackGround.h"
class UpgradeWindowController;

// The text view of the release notes. It never fetches what the notes refer to: the notes come
// from the network and must not make the program read local files or follow links.
class UpgradeNotesView : public QTextBrowser {
    Q_OBJECT
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int type, const QUrl& name) override;
};

// The window of an offered newer version: release notes, the version, and a button that opens
// the download page.
class UpgradeWindow : public QDialog {
    Q_OBJECT
public:
    explicit UpgradeWindow(UpgradeWindowController* controller);

    UpgradeWindowController* windowController() const { return controller_; }

    // Opens the offer's address in the browser when it is an http or https address, then
    // closes the window in every case.
    void openUpdate();
    // Closes the window at once.
    void performClose();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    UpgradeWindowController* controller_;
};

// Owns the upgrade window, made from the offer on first use.
class UpgradeWindowController : public QObject {
    Q_OBJECT
public:
    UpgradeWindowController();
    ~UpgradeWindowController() override;

    std::optional<UpgradeInfo> upgradeInfo;

    // The window, loaded on first use.
    UpgradeWindow* window();
    bool isWindowLoaded() const { return window_ != nullptr; }
    // Shows the window in front and makes it the active one.
    void showWindow();
    // Closes the window when it is loaded.
    void close();

    ButtonWithHoverBackGround* upgradeButton() const { return upgradeButton_; }
    QTextBrowser* infoLabel() const { return infoLabel_; }

    // Only web addresses are opened from an offer.
    static bool isOpenableAddress(const QUrl& url);

private:
    void windowDidLoad();

    QPointer<UpgradeWindow> window_;
    QPointer<ButtonWithHoverBackGround> upgradeButton_;
    QPointer<QTextBrowser> infoLabel_;
};
