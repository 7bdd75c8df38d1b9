// The settings window on two headless screens, against a second process sharing the settings.
#include "MainWindow/pages/ConfigWindowController.h"
#include "pages/PagesSupport.h"
#include "shared/Preferences.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <optional>

namespace {
// Runs before main() makes the application object, so the platform sees the screen file.
const bool kTwoScreens = [] {
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + TWO_SCREENS_JSON);
    return true;
}();

QRadioButton* checkedRadio(ConfigWindowController& c) {
    for (QRadioButton* r : {c.multipleRadioButton, c.mirrorRadioButton, c.singleRadioButton})
        if (r->isChecked())
            return r;
    return nullptr;
}
}  // namespace

TEST(SettingsWindow, OpensWithTheStoredChoiceWritesAndFollowsTheOtherProcess) {
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    const auto monitors = ConfigWindowController::monitorArray();
    ASSERT_EQ(monitors.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(monitors[i].value("name").toString(), QStringLiteral("Monitor %1").arg(i + 1));
        EXPECT_EQ(monitors[i].value("tag").toInt(), i);
    }
    Preferences& preferences = Preferences::shared();
    const struct {
        int arrange, screen;
        QRadioButton* ConfigWindowController::*radio;
    } opened[] = {{2, 1, &ConfigWindowController::singleRadioButton},
                  {7, 0, &ConfigWindowController::multipleRadioButton}};  // unknown: shown as spanning
    std::optional<ConfigWindowController> shown;
    for (const auto& c : opened) {
        SCOPED_TRACE(c.arrange);
        preferences.setMonitorArrange(c.arrange);
        preferences.setScreenIndex(c.screen);
        shown.emplace(preferences);
        shown->showWindow();
        EXPECT_EQ(checkedRadio(*shown), (*shown).*c.radio);
        ASSERT_EQ(shown->monitorList->count(), 2);
        EXPECT_EQ(shown->monitorList->itemText(0), "Monitor 1");
        EXPECT_EQ(shown->monitorList->currentText(), QStringLiteral("Monitor %1").arg(c.screen + 1));
        EXPECT_FALSE(shown->window()->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_TRUE(unnamedControls(shown->window()).isEmpty())
            << unnamedControls(shown->window()).join(", ").toStdString();
    }
    ConfigWindowController& controller = *shown;
    QTest::mouseClick(controller.mirrorRadioButton, Qt::LeftButton);
    EXPECT_EQ(preferences.monitorArrange(), 1);
    controller.monitorList->setCurrentIndex(1);
    emit controller.monitorList->activated(1);
    EXPECT_EQ(preferences.screenIndex(), 1);
    EXPECT_EQ(preferences.monitorArrange(), 1);  // the screen choice leaves the arrangement

    // The desktop player's menu, in another process.
    setFromChild("MonitorArrange", "2");
    setFromChild("ScreenIndex", "0");
    EXPECT_TRUE(QTest::qWaitFor([&] { return controller.singleRadioButton->isChecked(); }, 1500));
    EXPECT_TRUE(QTest::qWaitFor([&] { return controller.monitorList->currentIndex() == 0; }, 1500));
    setFromChild("MonitorArrange", "9");  // unknown later: radios stay
    setFromChild("ScreenIndex", "4");     // no such screen: the list stays
    QTest::qWait(1300);
    EXPECT_EQ(checkedRadio(controller), controller.singleRadioButton);
    EXPECT_EQ(controller.monitorList->currentIndex(), 0);

    // The check box writes the setting and follows it.
    const bool before = preferences.autolaunch();
    clickBox(controller.autoStartCheckBox);
    EXPECT_EQ(preferences.autolaunch(), !before);
    preferences.setAutolaunch(before);
    EXPECT_EQ(controller.autoStartCheckBox->isChecked(), before);
}
