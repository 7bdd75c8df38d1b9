// Settings bound to controls by property name, as a settings window binds its check boxes.
#include "platform/DefaultsSuite.h"
#include "platform/Disposable.h"
#include "shared/Preferences.h"
#include "support/ProcessHelpers.h"

#include <QCheckBox>
#include <QProcess>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(Binding, CheckBoxFollowsAutolaunchChangedByAnotherProcess) {
    Preferences& p = Preferences::shared();
    p.setAutolaunch(true);
    p.flush();  // in the file before the other process changes it
    QCheckBox box(QStringLiteral("Launch at login"));
    box.setChecked(true);
    DisposablePtr binding = bindBool(&p, "autolaunch", &box, "checked");
    ASSERT_TRUE(binding);

    QProcess child;
    testsupport::startChild(child, SETTINGS_CHILD, {"set", "autolaunch", "false"});
    ASSERT_TRUE(child.waitForFinished(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !box.isChecked(); }, 2500));
    EXPECT_FALSE(p.autolaunch());

    // Disposed by its owner: later changes stay away, and the release runs nothing again.
    binding->dispose();
    p.setAutolaunch(true);
    EXPECT_FALSE(box.isChecked());
    binding.reset();
}

TEST(Binding, ByNameChecksTypesAndCanRunBothWays) {
    QTemporaryDir dir;
    platform::DefaultsSuite suite(dir.filePath(QStringLiteral("s.ini")));
    Preferences p(suite);
    QCheckBox box;
    QSlider slider;
    // Not Boolean, not there, or no change signal: no binding.
    EXPECT_FALSE(bindBool(&p, "volume", &box, "checked"));
    EXPECT_FALSE(bindBool(&p, "autolaunch", &slider, "value"));
    EXPECT_FALSE(bindBool(&p, "autoLaunch", &box, "checked"));
    EXPECT_FALSE(bindProperty(&box, "text", &p, "mute"));

    p.setMute(false);
    box.setChecked(true);
    DisposablePtr both = bindProperty(&p, "mute", &box, "checked", {.copyNow = true, .bothWays = true});
    ASSERT_TRUE(both);
    EXPECT_FALSE(box.isChecked());  // copied at once
    QSignalSpy written(&p, &Preferences::muteChanged);
    box.click();
    EXPECT_TRUE(p.mute());
    EXPECT_EQ(suite.boolean(PreferencesKey::mute), true);
    p.setMute(false);
    EXPECT_FALSE(box.isChecked());
    EXPECT_EQ(written.count(), 2);  // once each way: the binding settles
}
