#include "SearchFixture.h"

#include <QAccessible>
#include <QImage>
#include <QTemporaryDir>

#include "shared/TextHelpers.h"

namespace {
SuggestionRow row(const char* text, bool header = false, bool separator = false) {
    SuggestionRow row = SuggestionRow::normal(QString::fromLatin1(text));
    row.header = header;
    row.separator = separator;
    return row;
}
QString selectedLabel(SuggestionsWindowController* popup) {
    const auto row = popup->selectedRow();
    return row ? row->label.value_or(QStringLiteral("?")) : QStringLiteral("none");
}
}  // namespace

TEST_F(SearchTest, PopupLayoutSelectionAndKeyboardMoves) {
    SuggestionsWindowController* c = popup();
    c->setSuggestions({});
    c->showPopup(field);
    EXPECT_EQ(c->window()->height(), 10);
    EXPECT_EQ(c->window()->width(), field->width());
    EXPECT_EQ(c->window()->mapTo(host.get(), QPoint(0, 0)), field->mapTo(host.get(), QPoint(0, field->height() + 2)));
    EXPECT_EQ(c->selectedRow(), std::nullopt);
    c->moveDown();  // no normal rows: nothing happens
    EXPECT_EQ(c->selectedRow(), std::nullopt);
    c->hidePopup();

    // Rows set while hidden wait for the next showing.
    c->setSuggestions(
        {row("H", true), row("", true, true), row("a"), row("b"), row("", false, true), row("I", true), row("c")});
    EXPECT_TRUE(c->window()->contentView()->findChildren<SuggestionRowView*>().isEmpty());
    c->showPopup(field);
    EXPECT_EQ(shownRows(), (QStringList{"[H|]", "--", "a", "b", "--", "[I|]", "c"}));
    EXPECT_EQ(c->window()->height(), 10 + 3 * SuggestionRowView::rowHeight +
                                         2 * SuggestionHeaderViewController::rowHeight +
                                         2 * SuggestionSeparator::rowHeight);

    int actions = 0;
    c->action = [&] { ++actions; };
    struct Step {
        void (SuggestionsWindowController::*move)();
        const char* expected;
        bool sendsAction;  // a move that changes nothing sends nothing
    };
    using C = SuggestionsWindowController;
    const Step steps[] = {
        {&C::moveUp, "a", false},        {&C::moveDown, "b", true},       {&C::moveDown, "c", true},
        {&C::moveDown, "c", false},      {&C::mouseExited, "none", true}, {&C::moveDown, "a", true},
        {&C::mouseExited, "none", true}, {&C::moveUp, "c", true},         {&C::moveUp, "b", true},
    };
    EXPECT_EQ(selectedLabel(c), QStringLiteral("a"));  // the first normal row, silently
    for (const Step& step : steps) {
        const int before = actions;
        (c->*step.move)();
        EXPECT_EQ(selectedLabel(c), QString::fromUtf8(step.expected));
        EXPECT_EQ(actions - before, step.sendsAction ? 1 : 0) << step.expected;
    }
    // Only the selected row is highlighted, and a new layout starts again at the first.
    int highlighted = 0;
    for (auto* view : c->window()->contentView()->findChildren<SuggestionRowView*>())
        highlighted += view->isVisible() && view->isHighlighted();
    EXPECT_EQ(highlighted, 1);
    c->layoutRows();
    EXPECT_EQ(selectedLabel(c), QStringLiteral("a"));
    c->hidePopup();
    EXPECT_EQ(c->selectedRow(), std::nullopt);
}

TEST_F(SearchTest, PopupClicksFocusAndAccessibility) {
    focusField();
    SuggestionsWindowController* c = popup();
    ASSERT_TRUE(c->isVisible());  // the focus opened it with the history rows

    // A click on the field keeps it; one elsewhere in the window only closes it.
    QSignalSpy otherClicked(other, &QPushButton::clicked);
    click(field);
    EXPECT_TRUE(c->isVisible());
    click(other);
    EXPECT_FALSE(c->isVisible());
    EXPECT_EQ(otherClicked.count(), 0);
    EXPECT_TRUE(field->hasFocus());

    // Escape closes it and opens it again; the field keeps the focus.
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_TRUE(c->isVisible());
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(c->isVisible());
    QTest::keyClick(field, Qt::Key_Escape);
    ASSERT_TRUE(c->isVisible());

    // Accessibility: a list of list items, the highlighted one selected.
    c->setSuggestions({row("a"), row("b")});
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(c->window()->contentView());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    int items = 0;
    int selected = 0;
    for (int i = 0; i < list->childCount(); ++i) {
        QAccessibleInterface* item = list->child(i);
        if (item->role() != QAccessible::ListItem || item->state().invisible)
            continue;
        ++items;
        if (item->state().selected) {
            ++selected;
            EXPECT_EQ(item->text(QAccessible::Name), QStringLiteral("a"));
        }
    }
    EXPECT_EQ(items, 2);
    EXPECT_EQ(selected, 1);

    // A click on a row puts its label into the field and searches it.
    SuggestionRowView* b = nullptr;
    for (auto* row : c->window()->contentView()->findChildren<SuggestionRowView*>())
        if (row->isVisible() && row->textField()->text() == QStringLiteral("b"))
            b = row;
    ASSERT_NE(b, nullptr);
    c->mouseEntered(b);
    click(b);
    EXPECT_FALSE(c->isVisible());
    EXPECT_EQ(field->text(), QStringLiteral("b"));
    EXPECT_EQ(delegate->searches, QStringList{QStringLiteral("b")});
    EXPECT_TRUE(field->hasFocus());

    // A click in another window closes the popup and reaches that window.
    field->clear();
    QTest::keyClick(field, Qt::Key_Escape);
    ASSERT_TRUE(c->isVisible());
    QWidget second;
    second.resize(200, 100);
    auto* button = new QPushButton(QStringLiteral("Elsewhere"), &second);
    second.move(600, 0);
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    QSignalSpy elsewhere(button, &QPushButton::clicked);
    click(button);
    EXPECT_FALSE(c->isVisible());
    EXPECT_EQ(elsewhere.count(), 1);
}

TEST_F(SearchTest, ThumbnailsKeepTheirProportions) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wide.png"));
    QImage source(200, 100, QImage::Format_RGB32);
    source.fill(Qt::red);
    ASSERT_TRUE(source.save(path));
    const auto image = thumbnailImage(QUrl::fromLocalFile(path), 24.0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(24, 12));
    EXPECT_EQ(image->text(QStringLiteral("Description")), QStringLiteral("wide"));
    EXPECT_FALSE(thumbnailImage(QUrl::fromLocalFile(dir.filePath(QStringLiteral("none.png"))), 24.0));
    EXPECT_FALSE(thumbnailImage(std::nullopt, 24.0));

    // A row with an address gets its picture in the background.
    SuggestionRow pic = row("pic");
    pic.imageUrl = QUrl::fromLocalFile(path);
    popup()->setSuggestions({pic});
    popup()->showPopup(field);
    EXPECT_TRUE(QTest::qWaitFor([&] { return popup()->suggestions().first().image.has_value(); }));
}

TEST_F(SearchTest, EveryRowOfALongPopupCanBeSeenAndTheHeaderReadsWhole) {
    field->setFixedWidth(90);  // a narrow field in a low window
    SuggestionRow history = row("Search History", true);
    history.detailedLabel = QStringLiteral("Clear History");
    SuggestionRows rows{history};
    for (int i = 0; i < 5; ++i)
        rows.append(SuggestionRow::normal(QStringLiteral("history %1").arg(i)));
    rows << row("", true, true) << row("Hot Keywords", true);
    for (int i = 0; i < 20; ++i)
        rows.append(SuggestionRow::normal(QStringLiteral("hot keyword %1").arg(i)));
    SuggestionsWindowController* c = popup();
    c->setSuggestions(rows);
    c->showPopup(field);
    QWidget* window = c->window();
    const QRect shown(window->mapTo(host.get(), QPoint(0, 0)), window->size());
    EXPECT_TRUE(host->rect().contains(shown));
    for (auto* header : window->findChildren<SuggestionHeaderViewController*>()) {
        const QLabel* title = header->findChild<QLabel*>();
        EXPECT_GE(title->width(), title->sizeHint().width()) << title->text().toStdString();
        EXPECT_GE(header->rightButton()->width(), header->rightButton()->sizeHint().width());
    }
    // Down through all 25 rows: each chosen row is wholly inside the popup, inside the window.
    QStringList reached;
    for (int i = 0; i < 25; ++i) {
        if (i > 0)
            c->moveDown();
        const QString label = selectedLabel(c);
        reached << label;
        for (auto* view : window->findChildren<SuggestionRowView*>()) {
            if (view->textField()->text() != label)
                continue;
            const QRect at(view->mapTo(host.get(), QPoint(0, 0)), view->size());
            EXPECT_TRUE(shown.contains(at)) << label.toStdString();
            QWidget* hit = host->childAt(at.center());  // what a click there reaches
            EXPECT_TRUE(hit == view || view->isAncestorOf(hit)) << label.toStdString();
        }
    }
    EXPECT_EQ(reached.last(), QStringLiteral("hot keyword 19"));
    EXPECT_EQ(reached.size(), 25);
}

TEST_F(SearchTest, ALongKeywordIsDrawnShortenedAndSearchedWhole) {
    const QString whole(kMaxShownCharacters + 50, u'k');
    BaseInfoResponse reply;
    reply.data.hotkey.push_back(whole);
    field->addHotkeys(reply);
    focusField();
    ASSERT_TRUE(popup()->isVisible());
    SuggestionRowView* shortened = nullptr;
    for (auto* view : popup()->window()->contentView()->findChildren<SuggestionRowView*>())
        if (view->isVisible() && view->textField()->text().size() == kMaxShownCharacters + 1)
            shortened = view;
    ASSERT_NE(shortened, nullptr);
    EXPECT_EQ(shortened->accessibleName().size(), kMaxShownCharacters + 1);
    popup()->mouseEntered(shortened);
    click(shortened);
    EXPECT_EQ(field->text(), whole);
    EXPECT_EQ(delegate->searches, QStringList{whole});
}
