// Byte-size and duration formats at their boundaries, and random names.
#include "shared/TextHelpers.h"

#include <gtest/gtest.h>

#include "support/QtPrinters.h"

#include <QSet>

TEST(TextHelpers, ByteSizeBoundaries) {
    const std::pair<qint64, const char*> cases[] = {
        {0, "0 Byte"},        {512, "512 Byte"},          {1023, "1023 Byte"},
        {1024, "1.00 KB"},    {1536, "1.50 KB"},          {1048575, "1024.00 KB"},  // still kilobytes
        {1048576, "1.00 MB"}, {3000000000, "2861.02 MB"},                           // no gigabyte unit
        {-5, "-5 Byte"},
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(formatByteSize(bytes), QString::fromLatin1(expected)) << bytes;
}

TEST(TextHelpers, DurationBoundaries) {
    const std::pair<qint64, const char*> cases[] = {
        {0, "00:00:00"},       {59, "00:00:59"},
        {60, "00:01:00"},      {3599, "00:59:59"},
        {3600, "01:00:00"},    {3725, "01:02:05"},
        {360000, "100:00:00"}, {8640000000, "2400000:00:00"},  // beyond 32 bits of seconds
    };
    for (const auto& [seconds, expected] : cases)
        EXPECT_EQ(formatDuration(seconds), QString::fromLatin1(expected)) << seconds;
}

TEST(TextHelpers, ShownTextIsCutWithoutSplittingACharacter) {
    const QString smile = QStringLiteral("\U0001F600");
    const QString fits(kMaxShownCharacters, u'a');
    const std::pair<QString, QString> cases[] = {
        {QString(), QString()},
        {fits, fits},
        {fits + u'b', fits + QChar(0x2026)},
        {QString(2000000, u'x'), QString(kMaxShownCharacters, u'x') + QChar(0x2026)},
        {QString(kMaxShownCharacters - 1, u'a') + smile, QString(kMaxShownCharacters - 1, u'a') + QChar(0x2026)},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(shownText(text), shown) << text.size();
}

TEST(TextHelpers, RandomNames) {
    const QString alphabet = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    QSet<QChar> seen;
    QSet<QString> names;
    for (int i = 0; i < 2000; ++i) {
        const QString name = randomAlphanumericString(10);
        ASSERT_EQ(name.size(), 10);
        for (QChar c : name) {
            ASSERT_TRUE(alphabet.contains(c)) << name.toStdString();
            seen.insert(c);
        }
        names.insert(name);
    }
    EXPECT_EQ(seen.size(), 62);     // every character turns up
    EXPECT_EQ(names.size(), 2000);  // and names do not repeat
    EXPECT_EQ(randomAlphanumericString(0), QString());
    EXPECT_EQ(randomAlphanumericString(-3), QString());
}
