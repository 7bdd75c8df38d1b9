#include "shared/AppInfo.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

TEST(AppInfo, VersionsAndFallbacks) {
    EXPECT_EQ(AppInfo::composeVersion(QStringLiteral("2.1"), QStringLiteral("35")), QStringLiteral("2.1.35"));
    EXPECT_EQ(AppInfo::composeVersionWithBuild(QStringLiteral("2.1"), QStringLiteral("35")), QStringLiteral("2.1(35)"));
    EXPECT_EQ(AppInfo::composeVersion(QStringLiteral("2.1"), std::nullopt), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(AppInfo::composeVersionWithBuild(QStringLiteral("2.1"), std::nullopt), QStringLiteral("1.0.0"));
    EXPECT_EQ(AppInfo::composeVersion(std::nullopt, QStringLiteral("35")), QStringLiteral("1.0.0.0"));
    // This test program sets no bundle information.
    EXPECT_EQ(AppInfo::version(), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(AppInfo::versionWithBuild(), QStringLiteral("1.0.0"));
}

TEST(AppInfo, DirectoriesLiveInTheContainerAndAreCreatedOnFirstUse) {
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    const QString container = QDir(data).filePath(QStringLiteral("Q7ZK3M8WRT.tavvel"));
    EXPECT_FALSE(QFileInfo::exists(container + "/Application Support"));
    EXPECT_EQ(AppInfo::applicationSupport(), container + "/Application Support");
    EXPECT_TRUE(QFileInfo(AppInfo::applicationSupport()).isDir());
    EXPECT_EQ(AppInfo::caches(), container + "/Caches");
    EXPECT_TRUE(QFileInfo(AppInfo::caches()).isDir());
    // Computed once: a removed directory is not made again by the member.
    QDir(AppInfo::caches()).removeRecursively();
    EXPECT_FALSE(QFileInfo::exists(AppInfo::caches()));
}

TEST(AppInfo, PageAddresses) {
    EXPECT_EQ(AppInfo::pageAddress(QUrl("https://example.invalid"), "67.html").toString(),
              QStringLiteral("https://example.invalid/67.html"));
    EXPECT_EQ(AppInfo::pageAddress(QUrl("https://example.invalid/base"), "60.html").toString(),
              QStringLiteral("https://example.invalid/base/60.html"));
    EXPECT_EQ(AppInfo::pageAddress(QUrl("https://example.invalid/base/"), "39.html").toString(),
              QStringLiteral("https://example.invalid/base/39.html"));
    EXPECT_TRUE(AppInfo::helpPage().toString().endsWith("/67.html"));
    EXPECT_TRUE(AppInfo::uploadPage().toString().endsWith("/39.html"));
    EXPECT_TRUE(AppInfo::termsPage().toString().endsWith("/60.html"));
    EXPECT_EQ(AppInfo::appGroup(), QStringLiteral("Q7ZK3M8WRT.tavvel"));
}
