// The hand-cursor, link-title and hover-background buttons.
#include "views/ButtonWithHoverBackGround.h"
#include "views/ButtonWithLinkTitle.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

namespace {
void enter(QWidget* w) {
    QEnterEvent e(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(w, &e);
}
void leave(QWidget* w) {
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}
}

TEST(Buttons, PointingHandOnEveryKind) {
    ButtonWithPointCursor plain;
    ButtonWithLinkTitle link(QStringLiteral("Refresh"));
    ButtonWithHoverBackGround hover(QStringLiteral("Download"));
    for (QWidget* w : {static_cast<QWidget*>(&plain), static_cast<QWidget*>(&link), static_cast<QWidget*>(&hover)})
        EXPECT_EQ(w->cursor().shape(), Qt::PointingHandCursor);
}

TEST(Buttons, LinkTitleSize) {
    EXPECT_EQ(ButtonWithLinkTitle::naturalSize(QSizeF(100, 17), 4), QSizeF(120, 25));
    ButtonWithLinkTitle link(QStringLiteral("Refresh the list"));
    EXPECT_EQ(link.horizontalMargin(), 3.0);
    EXPECT_EQ(link.verticalMargin(), 0.0);
    link.setVerticalMargin(4);
    const QSize before = link.sizeHint();
    link.setHorizontalMargin(40);  // not part of the size
    EXPECT_EQ(link.sizeHint(), before);
    const QSizeF measured = link.measuredTitleSize();
    EXPECT_NEAR(before.height(), measured.height() + 8, 1.0);
    EXPECT_NEAR(before.width(), measured.width() * 1.2, 1.0);
    // Asked afresh: a longer title gives a wider button.
    link.setText(QStringLiteral("Refresh the whole list of videos"));
    EXPECT_GT(link.sizeHint().width(), before.width());
    // Properties are reachable by name too.
    EXPECT_TRUE(link.setProperty("verticalMargin", 2.0));
    EXPECT_EQ(link.verticalMargin(), 2.0);
}

TEST(Buttons, HoverFollowsTheMouseFromCreation) {
    ButtonWithHoverBackGround b(QStringLiteral("Upgrade"));
    b.resize(120, 30);
    EXPECT_TRUE(b.isTitleStyled());
    EXPECT_EQ(b.cornerRadius(), 5.0);
    EXPECT_FALSE(b.hasBorder());
    const QColor normal(10, 20, 30), hover(40, 50, 60), pressed(70, 80, 90);
    b.setNormalColor(normal);
    b.setHoverColor(hover);
    b.setPressedColor(pressed);
    QIcon normalImage = QIcon(QPixmap(4, 4)), hoverImage = QIcon(QPixmap(8, 8));
    b.setNormalImage(normalImage);
    b.setHoverImage(hoverImage);

    enter(&b);
    EXPECT_EQ(b.backgroundColor(), hover);
    EXPECT_EQ(b.icon().cacheKey(), hoverImage.cacheKey());

    QSignalSpy clicked(&b, &QPushButton::clicked);
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(b.backgroundColor(), pressed);
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(b.backgroundColor(), hover);  // pressed turns into hover

    leave(&b);
    EXPECT_EQ(b.backgroundColor(), normal);
    EXPECT_EQ(b.icon().cacheKey(), normalImage.cacheKey());
}

TEST(Buttons, HoverWithoutColoursAndWhileDisabled) {
    ButtonWithHoverBackGround b(QStringLiteral("x"));
    b.resize(60, 30);
    const QColor normal(1, 2, 3), pressed(4, 5, 6);
    b.setNormalColor(normal);
    b.setPressedColor(pressed);
    enter(&b);
    EXPECT_EQ(b.backgroundColor(), normal);  // no hover colour: unchanged
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(b.backgroundColor(), pressed);  // stays pressed without a hover colour

    ButtonWithHoverBackGround off(QStringLiteral("y"));
    off.setNormalColor(normal);
    off.setHoverColor(QColor(9, 9, 9));
    off.setEnabled(false);
    enter(&off);
    EXPECT_EQ(off.backgroundColor(), normal);
    off.setNormalColor(QColor(7, 7, 7));
    leave(&off);
    EXPECT_EQ(off.backgroundColor(), QColor(7, 7, 7));
}

TEST(Buttons, BorderAndTitleStyling) {
    ButtonWithHoverBackGround b(QStringLiteral("Title"));
    b.setIsCustomBorder(false);
    EXPECT_TRUE(b.hasBorder());  // either value draws it
    EXPECT_FALSE(b.isCustomBorder());

    b.setText(QStringLiteral("Other"));
    EXPECT_FALSE(b.isTitleStyled());  // a new text drops the styling...
    EXPECT_TRUE(b.setProperty("titleColor", QColor(Qt::red)));
    EXPECT_TRUE(b.isTitleStyled());  // ...until the title colour is set again
    EXPECT_EQ(b.titleColor(), QColor(Qt::red));

    // It paints without trouble in every state.
    b.resize(100, 30);
    QImage image(b.size(), QImage::Format_ARGB32);
    b.render(&image);
    b.setText(QStringLiteral("Plain"));
    b.render(&image);
}
