// The online catalogue's controls on the real library screen, against the service stand-in.
#include "MainWindow/onlinelibrary/CatalogueControls.h"
#include "MainWindow/onlinelibrary/HotTagsLayout.h"
#include "MainWindow/onlinelibrary/OnlineControls.h"
#include "MainWindow/search/SearchHistoryManager.h"
#include "MainWindow/library/VideoLibraryViewController.h"
#include "MainWindow/onlinelibrary/WebLibraryViewModel.h"
#include "MainWindow/onlinelibrary/ButtonWithColorfulLink.h"
#include "MainWindow/search/SearchField.h"
#include "platform/NotificationCenter.h"
#include "onlinelibrary/OnlineTestSupport.h"
#include "platform/gui/OpenUrl.h"
#include "shared/PlainText.h"
#include "shared/TextHelpers.h"
#include "views/TabTitleView.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMainWindow>
#include <set>
#include <algorithm>
#include <QComboBox>
#include <QMenu>
#include <QScopeGuard>
#include <QToolButton>

using onlinetest::reply;

namespace {

// What the service answers for the catalogue, unless a test says otherwise (and puts it back).
constexpr const char* kCatalogue = R"({"cate":[{"id":3,"title":"Nature"},{"id":5,"title":"City"}],)"
                                   R"("hottags":["A","B","C"],"hotkey":["sea"]})";

// The process's client is made once, so one stand-in serves every case of the process.
testsupport::ServiceStandIn& standIn() {
    static testsupport::ServiceStandIn* service = [] {
        auto* s = new testsupport::ServiceStandIn;
        EXPECT_TRUE(s->start());
        qputenv("TAVVEL_SERVICE_URL", s->baseUrl().toUtf8());
        s->setReply(501, reply(kCatalogue));
        s->setReply(502, reply(R"({"pages":3,"page":1,"total":0,"count":0,"vlist":[]})"));
        s->setReply(505, reply(R"(["cat","cats"])"));
        return s;
    }();
    return *service;
}

// The last video-list request the service received.
QJsonObject lastListRequest() {
    const auto all = standIn().requests();
    for (auto it = all.crbegin(); it != all.crend(); ++it)
        if (it->code == 502 && it->json)
            return *it->json;
    return {};
}
QString base64(const char* text) {
    return QString::fromLatin1(QByteArray(text).toBase64());
}

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::actAsMainProgram();
        standIn();
        WebModel::shared().setLatestRequest(std::nullopt);
        screen = std::make_unique<VideoLibraryViewController>(MainParts::make());
        ASSERT_TRUE(testsupport::showExposed(screen->view(), QSize(1000, 600)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return hotTags().size() == 3; }));
        QTest::qWait(20);
        standIn().clearRequests();
    }
    void TearDown() override {
        screen.reset();
        QTest::qWait(10);
    }
    QList<ButtonWithColorfulLink*> hotTags() const {
        return screen->onlineControls()->hottagsView()->findChildren<ButtonWithColorfulLink*>(QStringLiteral("hottag"));
    }
    // The first hot tag whose text starts with `start`.
    ButtonWithColorfulLink* hotTag(const QString& start) const {
        for (auto* t : hotTags())
            if (t->text().startsWith(start))
                return t;
        return nullptr;
    }
    // Waits for a video-list request after the ones already counted.
    bool waitForListRequest(int& seen) {
        auto count = [] {
            const auto all = standIn().requests();
            return std::count_if(all.cbegin(), all.cend(), [](const auto& r) { return r.code == 502; });
        };
        // The action's request is answered before the list is loaded; the tab's own first page,
        // which a switch to it may ask for, was sent before it.
        const bool ok = QTest::qWaitFor([&] {
            return count() > seen &&
                   screen->webLibraryViewModel()->loadStatus() != WebLibraryViewModel::LoadStatus::loading;
        });
        QTest::qWait(20);  // a second request of the same action would be in by now
        seen = int(count());
        return ok;
    }

    std::unique_ptr<VideoLibraryViewController> screen;
};
}  // namespace

TEST(CatalogueLogic, NewsColourAndAddresses) {
    struct Colour {
        QString text;
        std::optional<QColor> expected;
    };
    const Colour colours[] = {
        {QStringLiteral("#FF8000"), QColor::fromRgbF(1.0f, 128 / 255.0f, 0.0f)},
        {QStringLiteral("FF8000"), QColor::fromRgbF(1.0f, 128 / 255.0f, 0.0f)},  // the hash is dropped only when there
        {QStringLiteral("#00ff00 and more"), QColor(0, 255, 0)},
        {QStringLiteral("#zz"), QColor(0, 0, 0)},
        {QStringLiteral("#"), QColor(0, 0, 0)},
        {QString(), std::nullopt},
    };
    for (const Colour& c : colours) {
        const std::optional<QColor> got = catalogue::newsColor(c.text);
        ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.text.toStdString();
        if (got) {
            EXPECT_EQ(got->rgb(), c.expected->rgb()) << c.text.toStdString();
        }
    }
    struct Address {
        const char* text;
        bool opened;
    };
    const Address addresses[] = {
        {"https://example.invalid/news", true}, {"HTTP://example.invalid", true}, {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},         {"smb://host/share", false},      {"no address", false},
    };
    for (const Address& a : addresses) {
        const std::optional<QUrl> url = catalogue::newsUrl(QString::fromLatin1(a.text));
        EXPECT_EQ(url && platform::isWebAddress(*url), a.opened) << a.text;
    }
}

TEST_F(CatalogueTest, HotTagsCategoriesAndSortBuildTheirRequests) {
    // A, B and C stand from right to left, A at the right edge.
    ButtonWithColorfulLink *a = hotTag("A"), *b = hotTag("B"), *c = hotTag("C");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->geometry().right(), screen->onlineControls()->hottagsView()->width() - 1);
    EXPECT_EQ(b->geometry().right() + 1, a->x());
    EXPECT_EQ(c->geometry().right() + 1, b->x());

    int seen = 0;
    auto expectRequest = [&](const char* step, int cate, int page, int sort, const QString& keywords = {}) {
        SCOPED_TRACE(step);
        ASSERT_TRUE(waitForListRequest(seen));
        const QJsonObject r = lastListRequest();
        EXPECT_EQ(r.value("cate").toInt(), cate);
        EXPECT_EQ(r.value("page").toInt(), page);
        EXPECT_EQ(r.value("sort").toInt(), sort);
        EXPECT_EQ(r.value("keywords").toString(), keywords);
        EXPECT_EQ(r.value("author").toString(), QString());
        EXPECT_EQ(r.value("ui").toString(), WebModel::clientId());
    };
    auto sortBy = [&](int index) {
        screen->onlineControls()->sortPopUp()->setCurrentIndex(index);
        screen->onlineControls()->refreshVideoListOnSort();
    };
    sortBy(1);
    expectRequest("a sort change with no earlier request", 0, 1, 2);

    // A category after paging a keyword search: page 1 of the category, no keywords, same sort.
    WebModel::shared().latestRequest()->page = 3;
    WebModel::shared().latestRequest()->keywords = base64("x");
    screen->onlineControls()->showCategoryMenu();
    EXPECT_TRUE(screen->categoryButton()->isChecked());
    QMenu* menu = nullptr;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return (menu = screen->view()->findChild<QMenu*>(QStringLiteral("categoryMenu"))); }));
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions().at(1)->text(), QStringLiteral("City"));
    menu->actions().at(1)->trigger();
    menu->close();
    expectRequest("a category", 5, 1, 2);
    EXPECT_EQ(screen->onlineTabTitle()->text(), QStringLiteral("City"));
    EXPECT_TRUE(screen->onlineTab()->highlight);
    EXPECT_FALSE(screen->categoryButton()->isChecked());

    WebModel::shared().latestRequest()->page = 2;
    sortBy(0);
    expectRequest("a sort change after paging keeps the category", 5, 1, 1);
    QTest::mouseClick(b, Qt::LeftButton);
    expectRequest("a hot tag searches its text", 5, 1, 1, base64("B"));
}

TEST_F(CatalogueTest, TheSearchFieldSearchesTheCatalogue) {
    SearchField field(WebModel::shared());  // on the process's client, as in the main window
    field.historyManager().setStoreHistory({});
    field.setMyDelegate(screen.get());
    field.show();
    field.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&field));
    field.setFocus(Qt::MouseFocusReason);
    field.setText(QStringLiteral("ca"));
    QTest::keyClick(&field, Qt::Key_T);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        for (const auto& r : standIn().requests())
            if (r.code == 505 && r.json && (*r.json)[QStringLiteral("keywords")].toString() == base64("cat"))
                return true;
        return false;
    }));
    QTest::keyClick(&field, Qt::Key_Return);
    int seen = 0;
    ASSERT_TRUE(waitForListRequest(seen));
    EXPECT_EQ(lastListRequest()[QStringLiteral("keywords")].toString(), base64("cat"));
    EXPECT_TRUE(screen->onlineTab()->highlight);
    EXPECT_EQ(field.historyManager().storeHistory().value(0), QStringLiteral("cat"));
}

TEST_F(CatalogueTest, TheNewsLinkFollowsTheHeartbeat) {
    testsupport::OpenedUrls opened;
    ButtonWithColorfulLink* news = screen->onlineControls()->newsLinkButton();
    EXPECT_FALSE(news->isVisible());

    auto beat = [&](const char* color, const char* url) {
        HeartbeatResponse reply;
        reply.data.msg.msgBottom.msg = QStringLiteral("Summer collection");
        reply.data.msg.msgBottom.color = QString::fromLatin1(color);
        reply.data.msg.msgBottom.url = QString::fromLatin1(url);
        WebModel::shared().setHeartbeatResponse(reply);
        platform::NotificationCenter::defaultCenter().post(WebModel::heartbeatUpdatedNotification);
        QTest::qWait(20);
    };
    beat("#FF8000", "https://example.invalid/summer");
    EXPECT_TRUE(news->isVisible());
    EXPECT_EQ(news->text(), QStringLiteral("Summer collection"));
    EXPECT_EQ(news->titleColor().rgb(), QColor::fromRgbF(1.0f, 128 / 255.0f, 0.0f).rgb());
    EXPECT_EQ(news->fontSize(), 10);
    QTest::mouseClick(news, Qt::LeftButton);
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl(QStringLiteral("https://example.invalid/summer"))});

    // An empty colour keeps the colour; an address that is no web page is not opened.
    beat("", "file:///etc/passwd");
    EXPECT_EQ(news->titleColor().rgb(), QColor::fromRgbF(1.0f, 128 / 255.0f, 0.0f).rgb());
    QTest::mouseClick(news, Qt::LeftButton);
    EXPECT_EQ(opened.urls.size(), 1);
    WebModel::shared().setHeartbeatResponse(std::nullopt);
}

// Texts of megabytes from the service are shown shortened, and only a row's worth of hot tags is
// built at all; a shortened hot tag still searches its whole text.
TEST_F(CatalogueTest, HugeServiceTextsAreShownShortenedAndAHotTagSearchesItsWholeText) {
    BaseInfoResponse huge;
    for (int i = 0; i < 10000; ++i)
        huge.data.hottags.push_back(QString::number(i));
    huge.data.hottags[0] = QString(2000000, u'w');
    const QString whole(kMaxShownCharacters + 50, u'v');
    huge.data.hottags[1] = whole;
    huge.data.cate.push_back(Cate{7, QString(2000000, u'c')});
    screen->onlineControls()->showHotTags(huge);
    const int expected = 3 + OnlineControls::kMaxHotTags;
    ASSERT_TRUE(QTest::qWaitFor([&] { return hotTags().size() == expected; }));
    QTest::qWait(50);  // and no more come
    EXPECT_EQ(hotTags().size(), expected);
    ButtonWithColorfulLink *w = hotTag("w"), *v = hotTag("v");
    ASSERT_TRUE(w && v);

    HeartbeatResponse beat;
    beat.data.msg.msgBottom.msg = QString(2000000, u'n');
    WebModel::shared().setHeartbeatResponse(beat);
    screen->onlineControls()->updateNewsLink();
    WebModel::shared().setHeartbeatResponse(std::nullopt);
    const std::optional<BaseInfoResponse> kept = WebModel::shared().baseInfo();
    WebModel::shared().setBaseInfo(huge);
    std::unique_ptr<QMenu> menu(screen->onlineControls()->categoryMenu());
    WebModel::shared().setBaseInfo(kept);
    ASSERT_EQ(menu->actions().size(), 1);

    const ButtonWithColorfulLink* news = screen->onlineControls()->newsLinkButton();
    const std::pair<const char*, QString> shown[] = {
        {"hot tag of megabytes", w->text()},   {"long hot tag", v->text()},
        {"its name", v->accessibleName()},     {"news", news->text()},
        {"news name", news->accessibleName()}, {"category", menu->actions().at(0)->text()},
    };
    for (const auto& [name, text] : shown)
        EXPECT_EQ(text.size(), kMaxShownCharacters + 1) << name;

    int seen = 0;
    v->click();
    ASSERT_TRUE(waitForListRequest(seen));
    EXPECT_EQ(lastListRequest().value("keywords").toString(), QString::fromLatin1(whole.toLatin1().toBase64()));
}

// Twenty long hot tags from the service in the real window, narrow and wide: they wrap into
// rows, none covers another or leaves its area, and each shows its whole title or, as wide as a
// tag may be, an elided one; the tooltip always has the whole tag.
TEST(HotTagRows, TwentyLongTagsStayReadableAtAnyWidth) {
    testsupport::actAsMainProgram();
    QStringList tags;
    for (int i = 0; i < 20; ++i)
        tags << QStringLiteral("tag %1 slow waves over a quiet harbour at dusk").arg(i);
    tags[7] = QString(300, u'w');
    standIn().setReply(501,
                       reply(R"({"cate":[],"hotkey":[],"hottags":)" +
                             QJsonDocument(QJsonArray::fromStringList(tags)).toJson(QJsonDocument::Compact) + "}"));
    WebModel::shared().setBaseInfo(std::nullopt);  // asked of the service again
    // The other tests of the process see the usual catalogue again, whatever order they run in.
    const auto restore = qScopeGuard([] {
        standIn().setReply(501, reply(kCatalogue));
        WebModel::shared().setBaseInfo(std::nullopt);
    });
    QMainWindow window;
    VideoLibraryViewController screen(MainParts::make(), &window);
    window.setCentralWidget(screen.view());
    ASSERT_TRUE(testsupport::showExposed(&window, QSize(600, 700)));
    QWidget* area = screen.onlineControls()->hottagsView();
    QList<ButtonWithColorfulLink*> all;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (all = area->findChildren<ButtonWithColorfulLink*>()).size() == 20; }));
    for (const int width : {600, 1600}) {
        SCOPED_TRACE(width);
        window.resize(width, 700);
        ASSERT_TRUE(QTest::qWaitFor([&] { return area->width() > width - 60 && area->width() < width; }));
        testsupport::drain();
        onlinetest::screenshot(&window, QStringLiteral("hot-tags-%1").arg(width));
        std::set<int> rows;
        for (qsizetype i = 0; i < all.size(); ++i) {
            const ButtonWithColorfulLink* tag = all[i];
            rows.insert(tag->y());
            EXPECT_TRUE(area->rect().contains(tag->geometry())) << i;
            for (qsizetype j = i + 1; j < all.size(); ++j)
                EXPECT_FALSE(tag->geometry().intersects(all[j]->geometry())) << i << " " << j;
            EXPECT_TRUE(tag->width() >= tag->sizeHint().width() ||
                        tag->width() == std::min(area->width(), HotTagsLayout::kMostTagWidth));
            EXPECT_EQ(tag->toolTip(), plainToolTip(tag->title()));
        }
        EXPECT_GT(rows.size(), 2u);
        EXPECT_GE(screen.collectionView()->mapTo(screen.view(), QPoint()).y(),
                  area->mapTo(screen.view(), QPoint(0, area->height())).y());  // the list starts below
    }
}
