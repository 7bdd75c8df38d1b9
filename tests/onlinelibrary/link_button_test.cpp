// The colourful link button's colours through hover and press, and the overlay's refresh group.
#include "MainWindow/View/ButtonWithColorfulLink.h"
#include "MainWindow/View/WebLibraryRefreshSubView.h"
#include "views/ButtonWithLinkTitle.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

TEST(LinkButton, ColoursFollowHoverAndPressOnlyWhileEnabled) {
    ButtonWithColorfulLink button(QStringLiteral("#rain"));
    button.resize(80, 24);
    button.show();
    const QColor normal(10, 10, 10), hover(0, 0, 255), pressed(255, 0, 0);
    button.setTitleColor(normal);
    button.setTitleHoverColor(hover);
    EXPECT_EQ(button.shownColor(), normal);  // a hover colour alone changes nothing yet
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&button, &enter);
    EXPECT_EQ(button.shownColor(), hover);
    button.setTitlePressedColor(pressed);
    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_EQ(button.shownColor(), pressed);
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_EQ(button.shownColor(), hover);  // taken to be under the pointer after a click
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&button, &leave);
    EXPECT_EQ(button.shownColor(), normal);
    button.setFontSize(12);
    EXPECT_EQ(button.font().pixelSize(), 12);

    button.setEnabled(false);
    QCoreApplication::sendEvent(&button, &enter);
    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_EQ(button.shownColor(), normal);
}

TEST(RefreshOverlay, TheGroupShowsAsAWholeAndTheButtonCallsTheClosure) {
    WebLibraryRefreshSubView overlay;
    overlay.show();
    int refreshes = 0;
    overlay.refreshButton->click();  // no closure yet: nothing
    overlay.refreshClosure = [&] { ++refreshes; };
    overlay.setTitle(QStringLiteral("List is empty"));
    for (bool shown : {true, false, true}) {
        overlay.setShowRefreshButton(shown);
        EXPECT_EQ(overlay.leftSubTitle->isVisible(), shown);
        EXPECT_EQ(overlay.rightSubTitle->isVisible(), shown);
        EXPECT_EQ(overlay.refreshButton->isVisible(), shown);
        EXPECT_TRUE(overlay.titleLabel->isVisible());
    }
    EXPECT_EQ(overlay.titleLabel->text(), QStringLiteral("List is empty"));
    overlay.refreshButton->click();
    EXPECT_EQ(refreshes, 1);
}
