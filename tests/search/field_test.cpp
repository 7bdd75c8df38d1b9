#include "MainWindow/search/SearchHistoryManager.h"
#include "SearchFixture.h"

using testsupport::ScriptedReply;

namespace {
QString sentKeywords(const testsupport::RecordedRequest& request) {
    return QString::fromUtf8(
        QByteArray::fromBase64(request.json.value_or(QJsonObject{})[QStringLiteral("keywords")].toString().toLatin1()));
}
}  // namespace

TEST_F(SearchTest, FocusShowsHistoryAndHotKeywordsWithoutARequest) {
    field->historyManager().setStoreHistory({QStringLiteral("dog"), QStringLiteral("cat")});
    focusField();
    EXPECT_EQ(shownRows(), (QStringList{"[Search History|Clear]", "dog", "cat", "--", "[Hot Search|]", "sea", "sky"}));
    QTest::qWait(50);
    EXPECT_EQ(standIn.requestCount(), 0);

    // "Clear" empties the file and leaves the popup open without terms; the field keeps the focus.
    auto* header = popup()->window()->contentView()->findChild<SuggestionHeaderViewController*>();
    ASSERT_NE(header, nullptr);
    click(header->rightButton());
    EXPECT_EQ(shownRows(), (QStringList{"[Search History|Clear]", "--", "[Hot Search|]", "sea", "sky"}));
    field->historyManager().waitForWrites();
    EXPECT_TRUE(SearchHistoryManager::loadSearchHistory(SearchHistoryManager::searchHistoryURL()).isEmpty());
    EXPECT_TRUE(field->hasFocus());

    // The keyboard reaches it too.
    field->historyManager().addSearchHistory(QStringLiteral("x"));
    field->showHistoryAndHotSearch();
    QTest::keyClick(field, Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(field->historyManager().storeHistory().isEmpty());
}

TEST_F(SearchTest, TypingAsksTheServiceAndTheNewerReplyWins) {
    focusField();
    field->setText(QStringLiteral("c"));  // text set by code asks nothing
    QTest::qWait(50);
    EXPECT_EQ(standIn.requestCount(), 0);

    standIn.queueReply(505, reply(R"(["cab","car"])").delayed(400));
    standIn.queueReply(505, reply(R"(["cat","catalog"])"));
    QTest::keyClick(field, Qt::Key_A);
    ASSERT_TRUE(standIn.waitForRequests(1));
    QTest::keyClick(field, Qt::Key_T);
    ASSERT_TRUE(standIn.waitForRequests(2));
    const auto requests = standIn.requests();
    EXPECT_EQ(requests.at(0).code, 505);
    EXPECT_EQ(sentKeywords(requests.at(0)), QStringLiteral("ca"));
    EXPECT_EQ(sentKeywords(requests.at(1)), QStringLiteral("cat"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shownRows() == QStringList{"cat", "catalog"}; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return delegate->replies == 2; }));
    QTest::qWait(20);
    EXPECT_EQ(shownRows(), (QStringList{"cat", "catalog"}));

    // Down picks the next row and completes the field with it; the typed part stays unselected.
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_EQ(field->text(), QStringLiteral("catalog"));
    EXPECT_EQ(field->selectedText(), QStringLiteral("alog"));
    QTest::keyClick(field, Qt::Key_Down);  // no wrap
    EXPECT_EQ(field->text(), QStringLiteral("catalog"));
    QTest::keyClick(field, Qt::Key_Up);
    EXPECT_EQ(field->text(), QStringLiteral("cat"));

    // Return searches and records; an empty Return searches and records nothing.
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_FALSE(popup()->isVisible());
    EXPECT_EQ(delegate->searches, QStringList{QStringLiteral("cat")});
    EXPECT_EQ(field->historyManager().storeHistory().value(0), QStringLiteral("cat"));
    field->clear();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(delegate->searches, (QStringList{QStringLiteral("cat"), QString()}));
    EXPECT_EQ(field->historyManager().storeHistory(), QStringList{QStringLiteral("cat")});
}

TEST_F(SearchTest, LateEmptyAndFailedRepliesNeverReopenOrOverwrite) {
    struct Case {
        const char* name;
        std::function<void(SearchTest&)> meanwhile;  // what the user does before the reply
        QStringList rows;                            // shown once the reply is in
        ScriptedReply answer = reply(R"(["late"])").delayed(200);
    };
    const QStringList fallback = {"[Search History|Clear]", "--", "[Hot Search|]", "sea", "sky"};
    auto key = [](Qt::Key k) { return [k](SearchTest& t) { QTest::keyClick(t.field, k); }; };
    const Case cases[] = {
        {"focus lost", [](SearchTest& t) { t.other->setFocus(); }, {}},
        {"searched", key(Qt::Key_Return), {}},
        {"closed", key(Qt::Key_Escape), {}},
        {"emptied", key(Qt::Key_Backspace), fallback},
        {"empty reply", {}, fallback, reply("[]")},
        {"failed", {}, fallback, ScriptedReply::raw("", 500)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        field->clear();
        other->setFocus();
        focusField();
        ASSERT_TRUE(popup()->isVisible());
        standIn.queueReply(505, c.answer);
        const int replies = delegate->replies;
        QTest::keyClick(field, Qt::Key_X);
        ASSERT_TRUE(standIn.waitForRequests(1));
        if (c.meanwhile)
            c.meanwhile(*this);
        ASSERT_TRUE(QTest::qWaitFor([&] { return delegate->replies > replies; }));
        QTest::qWait(20);
        EXPECT_EQ(shownRows(), c.rows);
        standIn.clearRequests();
        field->historyManager().setStoreHistory({});
    }
}

TEST_F(SearchTest, ThePrefixEndsAtTheSelectionOrCursor) {
    struct Case {
        QString text;
        int start;
        int length;  // 0: a cursor at `start`
        QString prefix;
    };
    const QString emoji = QStringLiteral("\U0001F600");
    const Case cases[] = {
        {QStringLiteral("ab"), 2, 0, QStringLiteral("ab")},
        {QStringLiteral("abc"), 1, 2, QStringLiteral("abc")},
        {QStringLiteral("abc"), 1, 0, QStringLiteral("a")},
        {emoji + QStringLiteral("ab"), 3, 0, emoji + QStringLiteral("a")},
        {emoji + QStringLiteral("ab"), 4, 0, emoji + QStringLiteral("ab")},
    };
    for (const Case& c : cases) {
        field->setText(c.text);
        if (c.length)
            field->setSelection(c.start, c.length);
        else
            field->setCursorPosition(c.start);
        EXPECT_EQ(field->typedPrefix(), c.prefix) << c.text.toStdString() << " " << c.start;
    }
}
