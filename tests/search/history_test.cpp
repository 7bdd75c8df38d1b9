#include "MainWindow/search/SearchHistoryManager.h"
#include "support/MainWindowTestSupport.h"

#include <QFile>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QStringList split(const char* text) {
    return QString::fromUtf8(text).split(QLatin1Char(','), Qt::SkipEmptyParts);
}
}  // namespace

TEST(SearchHistory, AddingKeepsFiveNewestFirstWithoutRepeatsAndClearingEmptiesTheFile) {
    struct Case {
        const char* before;
        QString term;
        const char* after;
    };
    const QString composed = QString::fromUtf8("caf\u00e9");
    const QString decomposed = QString::fromUtf8("cafe\u0301");
    const Case cases[] = {
        {"b,a,c", QStringLiteral("a"), "a,b,c"},
        {"a,b,c,d,e", QStringLiteral("f"), "f,a,b,c,d"},
        {"a,b,c,d,e", QStringLiteral("c"), "c,a,b,d,e"},
        {"cat", QStringLiteral("Cat"), "Cat,cat"},
        {"a,b,c,d,e,f,g", QStringLiteral("h"), "h,a,b,c,d"},  // a longer file gives its first five
        {"", QStringLiteral("ca\u0007t\u0000\n"), "cat"},     // control characters never reach the file
        {"a", QStringLiteral("\u0001\u001f"), "a"},           // nothing left: nothing recorded
        {"a", QString(), "a"},
        {"", QStringLiteral("<a & \"b\"> \U0001F600 \u00e9"), "<a & \"b\"> \U0001F600 \u00e9"},  // stored as XML text
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        SCOPED_TRACE(c.term.toStdString());
        const QString path = dir.filePath(QStringLiteral("h.info"));
        testsupport::writeFile(path, SearchHistoryManager::encode(split(c.before)));
        SearchHistoryManager history(path);
        history.addSearchHistory(c.term);
        history.waitForWrites();
        EXPECT_EQ(history.storeHistory(), split(c.after));
        EXPECT_EQ(SearchHistoryManager::loadSearchHistory(path), split(c.after));
    }

    // Canonically equal texts are one term; the newer form is kept.
    const QString path = dir.filePath(QStringLiteral("n.info"));
    SearchHistoryManager history(path);
    history.addSearchHistory(composed);
    history.addSearchHistory(QStringLiteral("x"));
    history.addSearchHistory(decomposed);
    EXPECT_EQ(history.storeHistory(), (QStringList{decomposed, QStringLiteral("x")}));
    history.waitForWrites();  // its writes are queued on a worker and would land after the clear

    SearchHistoryManager(path).setStoreHistory({});
    EXPECT_TRUE(SearchHistoryManager(path).storeHistory().isEmpty());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("<array/>"));
}

TEST(SearchHistory, UnreadableOrForeignFilesReadEmptyAndAreRewritten) {
    const QByteArray head = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0">)";
    const QByteArray files[] = {
        "not a property list",
        head + "<array><string>a</string><integer>3</integer></array></plist>",
        head + "<dict><key>a</key><string>b</string></dict></plist>",
        head + "<array><string>a</string></array><array/></plist>",
        head + "<array><string>a<b/></string></array></plist>",
        head + "<array><string>a</string>",  // cut short by a crash of some other writer
        "<?xml version=\"1.0\"?><html><body>a</body></html>",
        head + "<array><string>a\x01</string></array></plist>",  // what a pasted control character made of it
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("searchHistory.info"));
    for (const QByteArray& bytes : files) {
        SCOPED_TRACE(bytes.toStdString());
        testsupport::writeFile(path, bytes);
        SearchHistoryManager history(path);
        EXPECT_TRUE(history.storeHistory().isEmpty());
        history.addSearchHistory(QStringLiteral("cat"));
        history.waitForWrites();
        EXPECT_EQ(SearchHistoryManager::loadSearchHistory(path), QStringList{QStringLiteral("cat")});
    }
    // A missing file is an empty history too.
    EXPECT_TRUE(SearchHistoryManager::loadSearchHistory(dir.filePath(QStringLiteral("none"))).isEmpty());
    // A write cut short by a kill left its temporary: the next read takes it away, and only it.
    for (const char* name : {"searchHistory.info.Ab12Cd", "searchHistory.info.Ab12C", "searchHistory.info.Ab12Cd.x"})
        testsupport::writeFile(dir.filePath(QString::fromLatin1(name)), "<?xml");
    SearchHistoryManager::loadSearchHistory(path);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("searchHistory.info.*")}, QDir::Files),
              QStringList({QStringLiteral("searchHistory.info.Ab12C"), QStringLiteral("searchHistory.info.Ab12Cd.x")}));
}

TEST(SearchHistory, AFileOfAHundredThousandTermsReadsAsItsFirstFive) {
    QTemporaryDir dir;
    QStringList many;
    for (int i = 0; i < 100000; ++i)
        many << QString::number(i);
    const QString path = dir.filePath(QStringLiteral("h.info"));
    testsupport::writeFile(path, SearchHistoryManager::encode(many));
    EXPECT_EQ(SearchHistoryManager(path).storeHistory(), many.mid(0, SearchHistoryManager::maximumCount));
}
