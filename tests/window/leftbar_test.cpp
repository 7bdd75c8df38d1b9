// The left menu bar and its switch, in this process and against a second one.
#include "MainWindow/window/LeftMenuBar.h"
#include "MainWindow/window/LeftMenuCell.h"
#include "pages/PagesSupport.h"
#include "support/MainWindowTestSupport.h"
#include "platform/NotificationCenter.h"
#include "service/WebModel.h"
#include "shared/AppInfo.h"
#include "shared/Preferences.h"
#include "views/ClickableImageView.h"
#include "views/SwitchButton.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// The frame in the bar's coordinates with the origin at its bottom left, as the layout is drawn.
QRect fromBottom(const QWidget* w, int barHeight) {
    const QRect g = w->geometry();
    return {g.x(), barHeight - g.y() - g.height(), g.width(), g.height()};
}

QImage picture(QColor colour) {
    QImage image(14, 26, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}
}  // namespace

TEST(LeftMenuBar, LayoutAt600ClicksAndSelection) {
    std::vector<int> reported;
    LeftMenuBar bar(
        QRect(0, 0, 160, 600), [&](int index) { reported.push_back(index); }, Preferences::shared(),
        platform::NotificationCenter::defaultCenter());
    bar.show();
    ASSERT_EQ(bar.cellList.size(), 2);
    LeftMenuCell* video = bar.cellList[0];
    LeftMenuCell* about = bar.cellList[1];
    EXPECT_EQ(fromBottom(bar.logo(), 600), QRect(56, 515, 48, 48));
    EXPECT_EQ(fromBottom(bar.separatorLine(), 600).y(), 495);
    EXPECT_EQ(fromBottom(video, 600), QRect(0, 447, 160, 36));
    EXPECT_EQ(fromBottom(about, 600), QRect(0, 411, 160, 36));
    EXPECT_EQ(fromBottom(bar.promotionView(), 600), QRect(10, 10, 140, 260));
    EXPECT_TRUE(bar.promotionView()->isHidden());
    // Only the video cell shows the switch; it starts selected.
    EXPECT_TRUE(video->isSelected());
    EXPECT_FALSE(video->rightButton->isHidden());
    EXPECT_TRUE(about->rightButton->isHidden());
    EXPECT_EQ(video->titleLabel->text(), "Video");
    EXPECT_EQ(about->accessibleName(), "About");

    QTest::mouseClick(about, Qt::LeftButton);
    QTest::mouseClick(about, Qt::LeftButton);  // again: stays selected, reported again
    EXPECT_EQ(reported, (std::vector<int>{1, 1}));
    EXPECT_TRUE(about->isSelected());
    EXPECT_FALSE(video->isSelected());
    QTest::keyClick(video, Qt::Key_Space);
    EXPECT_EQ(reported.back(), 0);
    EXPECT_TRUE(video->isSelected());

    bar.select(5);  // no such cell: both normal, nothing reported
    EXPECT_FALSE(video->isSelected());
    EXPECT_FALSE(about->isSelected());
    EXPECT_EQ(reported.size(), 3u);

    // The promotional picture stays at the bottom when the bar grows.
    bar.resize(160, 800);
    EXPECT_EQ(fromBottom(bar.promotionView(), 800), QRect(10, 10, 140, 260));
    EXPECT_TRUE(unnamedControls(&bar).isEmpty()) << unnamedControls(&bar).join(", ").toStdString();
}

TEST(LeftMenuBar, PromotionalPictureNeedsExactlyOneWebPicture) {
    testsupport::OpenedUrls recorder;
    LeftMenuBar bar(
        QRect(0, 0, 160, 600), [](int) {}, Preferences::shared(), platform::NotificationCenter::defaultCenter());
    auto post = [](const ImageUrlMap& pictures) {
        platform::NotificationCenter::defaultCenter().post(
            WebModel::leafletUpdatedNotification, {{WebModel::leftPanelUserInfoKey, QVariant::fromValue(pictures)}});
    };
    const QUrl a("https://promo.test/a"), b("https://promo.test/b");
    // Nothing shown by: no user info, zero pictures, two pictures, one picture with a local link.
    platform::NotificationCenter::defaultCenter().post(WebModel::leafletUpdatedNotification);
    post({});
    post({{picture(Qt::red), a}, {picture(Qt::blue), b}});
    post({{picture(Qt::red), QUrl("file:///etc/passwd")}});
    EXPECT_TRUE(bar.promotionView()->isHidden());

    post({{picture(Qt::red), a}});
    EXPECT_FALSE(bar.promotionView()->isHidden());
    EXPECT_EQ(bar.promotionUrl(), a);
    post({{picture(Qt::green), b}});  // a later single picture replaces it
    post({{picture(Qt::red), a}, {picture(Qt::blue), b}});
    EXPECT_EQ(bar.promotionUrl(), b);
    EXPECT_EQ(bar.promotionView()->pixmap().toImage().pixelColor(0, 0), QColor(Qt::green));

    QTest::mouseClick(bar.promotionView(), Qt::LeftButton);
    QTest::mouseClick(bar.logo(), Qt::LeftButton);
    EXPECT_EQ(recorder.urls, (QList<QUrl>{b, AppInfo::website()}));
}

TEST(SwitchButton, StatesFromRawValues) {
    for (int raw = -1; raw <= 7; ++raw) {  // 0 to 6 are the states, the rest none (99)
        const auto state = switchButtonStateFromRaw(raw);
        EXPECT_EQ(state ? int(*state) : 99, raw >= 0 && raw <= 6 ? raw : 99) << raw;
    }
    std::vector<bool> clicks;
    SwitchButton button(QRect(0, 0, 36, 18), [&](bool open) { clicks.push_back(open); });
    EXPECT_EQ(button.state(), SwitchButtonState::close_normal);
    button.setProperty("isOpen", true);  // from outside: no closure
    EXPECT_EQ(button.state(), SwitchButtonState::open_normal);
    EXPECT_TRUE(clicks.empty());
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::keyClick(&button, Qt::Key_Space);
    EXPECT_EQ(clicks, (std::vector<bool>{false, true}));
    EXPECT_TRUE(button.isOpen());
}

TEST(SwitchButton, FollowsTheOtherProcessAndItsClickWritesOnce) {
    Preferences& preferences = Preferences::shared();
    preferences.setIsOpenPlayer(true);
    LeftMenuBar bar(
        QRect(0, 0, 160, 600), [](int) {}, Preferences::shared(), platform::NotificationCenter::defaultCenter());
    bar.show();
    SwitchButton* button = bar.cellList[0]->rightButton;
    ASSERT_TRUE(button->isOpen());

    setFromChild("IsOpenPlayer", "false");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !button->isOpen(); }, 1500));
    setFromChild("IsOpenPlayer", "true");
    EXPECT_TRUE(QTest::qWaitFor([&] { return button->isOpen(); }, 1500));

    // A click flips the stored flag once; the binding's write-back writes nothing more.
    QSignalSpy writes(&preferences, &Preferences::isOpenPlayerChanged);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(writes.count(), 1);
    EXPECT_FALSE(preferences.isOpenPlayer());
    EXPECT_FALSE(button->isOpen());
    EXPECT_TRUE(bar.cellList[0]->isSelected());  // the switch's click is not the cell's
    QTest::qWait(1200);                          // a re-read of the unchanged file reports nothing
    EXPECT_EQ(writes.count(), 1);
}
