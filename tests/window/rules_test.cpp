// The main program's small rules: version order, the autostart entry's Exec line, the crash
// file's text and name.
#include "MainWindow/startup/AppDelegate.h"
#include "MainWindow/startup/CrashReport.h"
#include "platform/LoginItem.h"

#include <gtest/gtest.h>

TEST(Rules, VersionIsLowerByNumbers) {
    const struct {
        const char* stored;
        const char* current;
        bool lower;
    } cases[] = {{"1.0.9", "1.0.10", true}, {"1.0.10", "1.0.9", false}, {"1.0.0.1", "1.0.0.1", false},
                 {"1.9.0", "1.10.0", true}, {"1.2", "1.2.0", false},    {"1.0.0.2", "1.0.0.10", true},
                 {"2.0", "1.99.99", false}};
    for (const auto& c : cases)
        EXPECT_EQ(AppDelegate::versionIsLower(QString::fromLatin1(c.stored), QString::fromLatin1(c.current)), c.lower)
            << c.stored << " < " << c.current;
}

TEST(Rules, ExecLineQuotesByDesktopEntryRules) {
    const struct {
        QString path;
        QString exec;
    } cases[] = {
        {"/opt/tavvel/bin/TavvelHelper", R"("/opt/tavvel/bin/TavvelHelper")"},
        {"/home/a b/My Apps/TavvelHelper", R"("/home/a b/My Apps/TavvelHelper")"},
        {R"(/tmp/say "hi"/TavvelHelper)", R"("/tmp/say \\"hi\\"/TavvelHelper")"},
        {"/tmp/$HOME/`x`/T", R"("/tmp/\\$HOME/\\`x\\`/T")"},
        {R"(/tmp/back\slash/T)", R"("/tmp/back\\\\slash/T")"},
        {"/tmp/100%/T", R"("/tmp/100%%/T")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::desktopEntryExec({c.path}), c.exec) << c.path.toStdString();
}

TEST(Rules, CrashTextAndName) {
    crash::Report report{QStringLiteral("std::out_of_range"),
                         std::nullopt,
                         QStringLiteral("1.0"),
                         std::nullopt,
                         QStringLiteral("vector"),
                         {}};
    // No call stack: the four blocks with their blank lines and nothing after.
    EXPECT_EQ(crash::formatReport(report), "std::out_of_range\n\n(null)\n\nversion: 1.0.(null)\n\nvector\n\n");
    report.symbols = {QStringLiteral("a"), QStringLiteral("b")};
    report.userInfo = QStringLiteral("{key = value;}");
    EXPECT_EQ(crash::formatReport(report),
              "std::out_of_range\n\n{key = value;}\n\nversion: 1.0.(null)\n\nvector\n\na\nb");
    const struct {
        double seconds;
        const char* name;
    } names[] = {{1700000000.4, "1700000000.txt"},
                 {1700000000.5, "1700000001.txt"},
                 {1700000000.6, "1700000001.txt"},
                 {0.0, "0.txt"}};
    for (const auto& n : names)
        EXPECT_EQ(crash::fileName(n.seconds), n.name) << n.seconds;

    EXPECT_TRUE(crash::directory().endsWith(QStringLiteral("/Crash")));
}
