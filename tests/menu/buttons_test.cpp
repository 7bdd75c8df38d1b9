// The hand-cursor, link-title and hover-background buttons, the clickable image, and styled
// texts shown in labels and link titles.
#include "views/ButtonWithHoverBackGround.h"
#include "views/ButtonWithLinkTitle.h"
#include "views/ClickableImageView.h"
#include "views/StyledTextView.h"

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
}  // namespace

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

// A button sized to its title shows all of it, the part below the baseline too ("_", "p"),
// plain or flat, under the style the programs run with.
TEST(Buttons, LinkTitleShowsItsWholeTitle) {
    for (const bool flat : {false, true}) {
        SCOPED_TRACE(flat ? "flat" : "plain");
        ButtonWithLinkTitle link(QStringLiteral("_"));
        link.setFlat(flat);
        QFont font = link.font();
        font.setPixelSize(13);
        link.setFont(font);
        QPalette palette = link.palette();
        palette.setColor(QPalette::ButtonText, Qt::red);
        link.setPalette(palette);
        link.resize(link.sizeHint());
        QImage image(link.size(), QImage::Format_ARGB32);
        image.fill(Qt::white);
        link.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        int inked = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                inked += c.red() > 150 && c.green() < 120 && c.blue() < 120;
            }
        EXPECT_GT(inked, 0) << "the underscore was cut off in a " << link.width() << "x" << link.height() << " button";
    }
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

TEST(Buttons, OnlyALeftClickInsideActs) {
    struct Case {
        const char* name;
        Qt::MouseButton button;
        QPoint release;
        int expected;
        bool pressed = true;  // false: the press went elsewhere
    };
    const QPoint inside(5, 5), outside(80, 80);
    const Case cases[] = {
        {"left inside", Qt::LeftButton, inside, 1},
        {"left released outside", Qt::LeftButton, outside, 0},
        {"right", Qt::RightButton, inside, 0},
        {"middle", Qt::MiddleButton, inside, 0},
        {"release without a press", Qt::LeftButton, inside, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClickableImageView image(QRect(0, 0, 20, 20), nullptr);
        int actions = 0;
        image.clickAction = [&] { ++actions; };
        ButtonWithHoverBackGround button(QStringLiteral("Go"));
        button.resize(20, 20);
        const QColor normal(1, 1, 1), pressed(2, 2, 2);
        button.setNormalColor(normal);
        button.setPressedColor(pressed);
        QSignalSpy clicked(&button, &QPushButton::clicked);

        if (c.pressed)
            QTest::mousePress(&image, c.button, {}, inside);
        QTest::mouseRelease(&image, c.button, {}, c.release);
        if (c.pressed)
            QTest::mousePress(&button, c.button, {}, inside);
        EXPECT_EQ(button.backgroundColor() == pressed, c.pressed && c.button == Qt::LeftButton);
        QTest::mouseRelease(&button, c.button, {}, c.release);
        EXPECT_EQ(actions, c.expected);
        EXPECT_EQ(clicked.count(), c.expected);
    }
}

TEST(StyledTitles, LabelsAndLinkTitlesShowEveryAttribute) {
    QWidget window;
    QPalette palette = window.palette();
    palette.setColor(QPalette::Link, QColor(0, 0, 200));
    palette.setColor(QPalette::WindowText, QColor(20, 20, 20));
    window.setPalette(palette);
    struct Case {
        const char* name;
        StyledText styled;
        QColor colour;
    };
    StyledText label;
    label.text = QStringLiteral("Normal Performance");
    label.color = SystemColor::Label;
    label.alignment = Qt::AlignRight;
    const Case cases[] = {
        {"link", linkAttributedString(QStringLiteral("Refresh the whole list of videos")), QColor(0, 0, 200)},
        {"red", redAttributedString(QStringLiteral("Download failed, try again later")),
         systemColor(SystemColor::Red, palette)},
        {"label", label, QColor(20, 20, 20)},
    };
    window.show();  // a hidden label hears of its size only once it shows
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* shown = new StyledTextLabel(c.styled, &window);
        shown->show();
        EXPECT_EQ(shown->palette().color(QPalette::WindowText), c.colour);
        EXPECT_EQ(shown->font().underline(), c.styled.underline);
        EXPECT_EQ(shown->font().pointSizeF(), c.styled.pointSize.value_or(window.font().pointSizeF()));
        EXPECT_EQ(shown->alignment() & Qt::AlignHorizontal_Mask,
                  c.styled.alignment.value_or(Qt::AlignLeft) & Qt::AlignHorizontal_Mask);
        // Wide enough, the whole text; narrow, its head and an ellipsis when it elides.
        shown->resize(shown->sizeHint());
        EXPECT_EQ(shown->text(), c.styled.text);
        shown->resize(shown->sizeHint().width() / 2, shown->height());
        EXPECT_EQ(shown->text().endsWith(QStringLiteral("…")), c.styled.elideTail);
        EXPECT_EQ(shown->toolTip().isEmpty(), !c.styled.elideTail);
    }
    // The colour follows a change of the palette the label inherits.
    auto* link = new StyledTextLabel(linkAttributedString(QStringLiteral("Help")), &window);
    palette.setColor(QPalette::Link, QColor(0, 150, 0));
    window.setPalette(palette);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 150, 0));

    // A link title sizes its button from the styled font: a bigger size, a bigger button.
    ButtonWithLinkTitle small, big;
    StyledText title = linkAttributedString(QStringLiteral("Refresh"));
    small.setStyledTitle(title);
    title.pointSize = 26.0;
    big.setStyledTitle(title);
    EXPECT_TRUE(small.font().underline());
    EXPECT_GT(big.sizeHint().width(), small.sizeHint().width() * 3 / 2);
    EXPECT_GT(big.sizeHint().height(), small.sizeHint().height());
    QImage image(big.sizeHint(), QImage::Format_ARGB32);
    big.resize(big.sizeHint());
    big.render(&image);
}
