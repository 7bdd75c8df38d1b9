// The main window as the program's start-up makes it: its parts, the content cell and the left
// bar, the title buttons, the QR-code window, the settings window that drives the login item,
// and the guide from the menu.
#include "MainWindow/startup/AppDelegate.h"
#include "MainWindow/pages/ConfigWindowController.h"
#include "MainWindow/window/MainWindowController.h"
#include "MainWindow/pages/NewFeaturesViewControlller.h"
#include "MainWindow/window/QRCodeController.h"
#include "MainWindow/window/PreviewPageLoader.h"
#include "MainWindow/window/PreviewVideoWindow.h"
#include "MainWindow/window/LeftMenuBar.h"
#include "MainWindow/window/LeftMenuCell.h"
#include "pages/PagesSupport.h"
#include "support/MainWindowTestSupport.h"
#include "MainWindowRig.h"
#include "platform/AppLauncher.h"
#include "platform/DefaultsSuite.h"
#include "platform/LoginItem.h"
#include "shared/AppInfo.h"
#include "shared/Preferences.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using namespace mainwindowtest;

TEST(MainWindow, PartsKeyboardReachAndTitleButtons) {
    ASSERT_TRUE(kEnvironment);
    QMainWindow* window = controller().window();
    EXPECT_TRUE(window->isVisible());
    for (const char* name :
         {"searchField", "leftMenuBar", "videoLibraryView", "aboutView", "webSite", "mobileApp", "help", "setting"})
        EXPECT_TRUE(window->findChild<QWidget*>(QString::fromLatin1(name))) << name;
    for (QAbstractButton* button :
         {controller().webSite(), controller().mobileApp(), controller().help(), controller().setting()}) {
        EXPECT_FALSE(button->accessibleName().isEmpty());
        EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus) << button->objectName().toStdString();
    }
    EXPECT_FALSE(controller().searchField()->accessibleName().isEmpty());
    // Never the initial focus, or the suggestion popup would open at launch.
    EXPECT_FALSE(controller().searchField()->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    // Both content views share one cell, the about page second.
    EXPECT_EQ(controller().contentViews()[0]->parentWidget(), controller().contentViews()[1]->parentWidget());
    EXPECT_EQ(controller().contentViews()[1]->objectName(), "aboutView");

    // The title buttons open their pages; the mobile-app button shows one QR-code window, the
    // same one the second time, and opens no page.
    testsupport::OpenedUrls recorder;
    controller().webSite()->click();
    controller().help()->click();
    QWidget* qr = controller().qrC().window();
    for (int i = 0; i < 2; ++i) {
        controller().mobileApp()->click();
        EXPECT_EQ(controller().qrC().window(), qr);
        EXPECT_TRUE(qr->isVisible());
        qr->close();
    }
    const QLabel* picture = qr->findChild<QLabel*>(QStringLiteral("qrCodePicture"));
    ASSERT_TRUE(picture);
    EXPECT_FALSE(picture->pixmap().isNull());
    EXPECT_EQ(recorder.urls, (QList<QUrl>{AppInfo::website(), AppInfo::helpPage()}));
}

TEST(MainWindow, ShowsOneContentViewByIndexOrLeftBarClick) {
    controller().showWindow();
    const auto& views = controller().contentViews();
    ASSERT_EQ(views.size(), 2u);
    EXPECT_TRUE(views[0]->isVisible());  // the library screen first
    EXPECT_FALSE(views[1]->isVisible());
    auto* bar = controller().window()->findChild<LeftMenuBar*>(QStringLiteral("leftMenuBar"));
    ASSERT_TRUE(bar);
    const struct {
        int index;
        bool click, library, about;
    } cases[] = {{1, true, false, true},  {0, true, true, false},   {1, false, false, true},   {0, false, true, false},
                 {1, false, false, true}, {2, false, false, false}, {-1, false, false, false}, {0, false, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.index << (c.click ? " clicked" : ""));
        if (c.click)
            QTest::mouseClick(bar->cellList[c.index], Qt::LeftButton);
        else
            controller().showContent(c.index);
        EXPECT_EQ(views[0]->isVisible(), c.library);
        EXPECT_EQ(views[1]->isVisible(), c.about);
    }
}

TEST(MainWindow, OneSettingsWindowIsTheLoginItemAndTheMenuOpensTheGuide) {
    // Made on first use, centred on the main window, the same one the second time.
    delegate().showPreferences();
    ConfigWindowController* config = controller().configWindowController();
    ASSERT_TRUE(config);
    EXPECT_TRUE(config->window()->isVisible());
    const QPoint centre = controller().window()->frameGeometry().center();
    EXPECT_LE((config->window()->frameGeometry().center() - centre).manhattanLength(), 2);
    config->window()->close();
    delegate().showPreferences();
    EXPECT_EQ(controller().configWindowController(), config);
    EXPECT_TRUE(config->window()->isVisible());

    // The check box is the login item: on writes the autostart entry, off removes it.
    ASSERT_TRUE(config->autoStartCheckBox->isChecked());
    clickBox(config->autoStartCheckBox);
    EXPECT_FALSE(Preferences::shared().autolaunch());
    clickBox(config->autoStartCheckBox);
    EXPECT_TRUE(QFile::exists(autostartEntry()));
    clickBox(config->autoStartCheckBox);
    EXPECT_FALSE(QFile::exists(autostartEntry()));
    config->window()->close();

    // The menu's "What's New..." opens the guide, with our seven pages before any guide reply.
    auto* action = controller().window()->findChild<QAction*>(QStringLiteral("newFeaturesAction"));
    ASSERT_TRUE(action);
    action->trigger();
    NewFeaturesViewControlller* guide = controller().newFeaturesViewController();
    ASSERT_TRUE(guide);
    EXPECT_TRUE(guide->window()->isVisible());
    EXPECT_EQ(guide->collectionView()->model()->rowCount(), 7);
    guide->window()->close();
}

TEST(MainWindow, ReopenShowsAClosedOrMinimizedWindowAndTheSettingsComeCentredEachTime) {
    QMainWindow* window = controller().window();
    struct Case {
        const char* name;
        std::function<void()> putAway;
    } cases[] = {
        {"closed", [&] { window->close(); }},
        {"minimized", [&] { window->showMinimized(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        controller().showWindow();
        c.putAway();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible() || window->isMinimized(); }));
        delegate().applicationShouldHandleReopen();  // a second start, or the player's "Main Window"
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(window->isMinimized());
    }

    // The settings window is centred on the main window at every opening, wherever it was left.
    for (QPoint mainAt : {QPoint(40, 30), QPoint(300, 200)}) {
        window->move(mainAt);
        delegate().showPreferences();
        QWidget* settings = controller().configWindowController()->window();
        ASSERT_TRUE(settings->isVisible());
        EXPECT_LE((settings->frameGeometry().center() - window->frameGeometry().center()).manhattanLength(), 2)
            << mainAt.x();
        settings->move(settings->pos() + QPoint(150, 90));
        settings->close();
    }
}

namespace {
QStringList* warnings = nullptr;
void keepWarning(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtWarningMsg && warnings)
        *warnings << text;
}
}  // namespace

// This program never loads the web page plugin: the file found, through a folder named relative
// to here, is not one. The window still opens, without a page, and the log says which file
// failed (by its absolute path) and why.
TEST(MainWindow, PreviewWithoutItsPluginOpensEmptyAndSaysWhy) {
    ASSERT_TRUE(kEnvironment);
    QTemporaryDir plugins;
    QFile broken(plugins.filePath(QStringLiteral("tavvel_preview_page.so")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly) && broken.write("not a plugin") > 0);
    broken.close();
    previewpage::lookFirstIn(QDir::current().relativeFilePath(plugins.path()));
    EXPECT_EQ(
        previewpage::candidates(),
        QStringList({broken.fileName(), QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                                        "/" TAVVEL_PLUGIN_DIR_FROM_MAIN "/tavvel_preview_page.so")}));
    QStringList seen;
    warnings = &seen;
    const QtMessageHandler previous = qInstallMessageHandler(keepWarning);
    controller().showPreviewWindow(QUrl(QStringLiteral("data:text/html,<p>one</p>")));
    qInstallMessageHandler(previous);
    warnings = nullptr;
    previewpage::lookFirstIn(QStringLiteral(TAVVEL_PLUGIN_DIR));

    PreviewVideoWindow& preview = controller().webViewWindow();
    EXPECT_TRUE(preview.isVisible());
    EXPECT_EQ(preview.webView(), nullptr);
    const QStringList said = seen.filter(QStringLiteral("preview: the web page plugin did not load: "));
    ASSERT_EQ(said.size(), 1) << seen.join(u'\n').toStdString();
    EXPECT_TRUE(said.first().contains(broken.fileName() + QStringLiteral(": "))) << said.first().toStdString();
    preview.close();
}
