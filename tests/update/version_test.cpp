// Version order and the offer record.
#include "service/UpgradeInfo.h"
#include "shared/VersionCompare.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

TEST(VersionCompare, NumbersNotText) {
    EXPECT_TRUE(isNewerVersion("1.0.10.0", "1.0.9.0"));
    EXPECT_FALSE(isNewerVersion("1.0.9.0", "1.0.10.0"));  // text order would call this newer
    EXPECT_TRUE(isNewerVersion("1.0.9.1", "1.0.9.0"));
    EXPECT_TRUE(isNewerVersion("2.0", "1.99.99.99"));
    EXPECT_TRUE(isNewerVersion("1.0.0.100", "1.0.0.99"));
    EXPECT_TRUE(isNewerVersion("10.0.0.0", "9.9.9.9"));
}

TEST(VersionCompare, EqualAndMissingParts) {
    EXPECT_FALSE(isNewerVersion("1.0.9.0", "1.0.9.0"));
    EXPECT_EQ(compareVersions("1.0", "1.0.0.0"), 0);
    EXPECT_EQ(compareVersions("01.2", "1.02"), 0);
    EXPECT_LT(compareVersions("1.0", "1.0.0.1"), 0);
    EXPECT_GT(compareVersions("1.0.0.1", "1.0"), 0);
    EXPECT_EQ(compareVersions(" 1.2.3 ", "1.2.3"), 0);
}

TEST(VersionCompare, EmptyAndTextParts) {
    EXPECT_FALSE(isNewerVersion("", "1.0.0.0"));
    EXPECT_FALSE(isNewerVersion("  ", "0"));
    // Parts that are not numbers fall back to text order, and stay consistent both ways.
    EXPECT_LT(compareVersions("1.0.beta", "1.0.rc"), 0);
    EXPECT_GT(compareVersions("1.0.rc", "1.0.beta"), 0);
    EXPECT_NE(compareVersions("1.0a", "1.0"), 0);
    // Longer than any integer type: still compared by value.
    EXPECT_TRUE(isNewerVersion("1.123456789012345678901234567890", "1.123456789012345678901234567889"));
}

TEST(UpgradeInfoRecord, FromDictionary) {
    EXPECT_FALSE(UpgradeInfo::fromDictionary(std::nullopt));
    EXPECT_FALSE(UpgradeInfo::fromDictionary(QJsonObject{{"ver", "2.0"}}));

    const auto full = UpgradeInfo::fromDictionary(
        QJsonObject{{"url", "https://x.test/d"}, {"md5", "abc"}, {"ver", "2.0"}, {"exp", "<b>n</b>"}});
    ASSERT_TRUE(full);
    EXPECT_EQ(*full, (UpgradeInfo{"https://x.test/d", "abc", "2.0", "<b>n</b>"}));

    // Values that are not text become the empty text; "url" only has to be present.
    const auto odd = UpgradeInfo::fromDictionary(
        QJsonObject{{"url", QJsonValue::Null}, {"ver", 3}, {"exp", QJsonObject{}}, {"md5", true}});
    ASSERT_TRUE(odd);
    EXPECT_EQ(*odd, UpgradeInfo{});
}

TEST(UpgradeInfoRecord, CodedFormNeedsAllFourTexts) {
    const UpgradeInfo info{"u", "m", "v", "e"};
    EXPECT_EQ(UpgradeInfo::decode(info.toJson()), info);
    QJsonObject missing = info.toJson();
    missing.remove("exp");
    EXPECT_FALSE(UpgradeInfo::decode(missing));
    QJsonObject numeric = info.toJson();
    numeric["ver"] = 2;
    EXPECT_FALSE(UpgradeInfo::decode(numeric));
}
