// The pages inside the running program: the start-up's main window with the left bar, the
// settings window that drives the login item, and the guide from the menu.
#include "MainWindow/AppDelegate.h"
#include "MainWindow/Controller/ConfigWindowController.h"
#include "MainWindow/Controller/MainWindowController.h"
#include "MainWindow/Controller/NewFeaturesViewControlller.h"
#include "MainWindow/View/LeftMenuBar.h"
#include "MainWindow/View/LeftMenuCell.h"
#include "platform/AppLauncher.h"
#include "platform/DefaultsSuite.h"
#include "platform/LoginItem.h"
#include "shared/AppInfo.h"
#include "service/WebModel.h"
#include "shared/Preferences.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QListView>
#include <QMainWindow>
#include <QTest>
#include <gtest/gtest.h>

namespace {
const bool kEnvironment = [] {
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
    qputenv("TAVVEL_SERVICE_URL", "http://127.0.0.1:9");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

void clickBox(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}
}  // namespace

TEST(ShellPages, LeftBarSettingsWindowAndGuideInTheProgram) {
    ASSERT_TRUE(kEnvironment);
    // A start after the first import, at this version: no install report, no first-run login item.
    platform::DefaultsSuite& suite = Preferences::sharedDefaults();
    suite.setObject(QStringLiteral("appVersion"), AppInfo::version());
    suite.synchronize();
    Preferences& preferences = Preferences::shared();
    preferences.setAlreadyImportVideo(true);
    preferences.setAutolaunch(true);
    const QString entry = platform::autostartEntryPath(QString::fromLatin1(platform::kHelperIdentifier));
    QFile::remove(entry);

    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    MainWindowController& controller = delegate.mainWindowController();
    QMainWindow* window = controller.window();
    ASSERT_TRUE(window->isVisible());
    auto* bar = window->findChild<LeftMenuBar*>(QStringLiteral("leftMenuBar"));
    ASSERT_TRUE(bar);
    QWidget* library = controller.contentViews()[0];
    QWidget* about = controller.contentViews()[1];
    EXPECT_EQ(about->objectName(), "aboutView");
    QTest::mouseClick(bar->cellList[1], Qt::LeftButton);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(library->isVisible());
    QTest::mouseClick(bar->cellList[0], Qt::LeftButton);
    EXPECT_FALSE(about->isVisible());
    EXPECT_TRUE(library->isVisible());

    // One settings window, made on first use, centred on the main window.
    delegate.showPreferences();
    ConfigWindowController* config = controller.configWindowController();
    ASSERT_TRUE(config);
    EXPECT_TRUE(config->window()->isVisible());
    EXPECT_LE((config->window()->frameGeometry().center() - window->frameGeometry().center()).manhattanLength(), 2);
    config->window()->close();
    delegate.showPreferences();
    EXPECT_EQ(controller.configWindowController(), config);
    EXPECT_TRUE(config->window()->isVisible());

    // The check box is the login item: on writes the autostart entry, off removes it.
    ASSERT_TRUE(config->autoStartCheckBox->isChecked());
    clickBox(config->autoStartCheckBox);
    EXPECT_FALSE(preferences.autolaunch());
    clickBox(config->autoStartCheckBox);
    EXPECT_TRUE(QFile::exists(entry));
    clickBox(config->autoStartCheckBox);
    EXPECT_FALSE(QFile::exists(entry));

    // The menu's "What's New..." opens the guide, with our seven pages before any guide reply.
    auto* action = window->findChild<QAction*>(QStringLiteral("newFeaturesAction"));
    ASSERT_TRUE(action);
    action->trigger();
    NewFeaturesViewControlller* guide = controller.newFeaturesViewController();
    ASSERT_TRUE(guide);
    EXPECT_TRUE(guide->window()->isVisible());
    EXPECT_EQ(guide->collectionView()->model()->rowCount(), 7);
}
