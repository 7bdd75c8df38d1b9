// Request 24 against the service stand-in on the loopback interface.
#include "service/UpgradeInfo.h"
#include "service/WebModel.h"
#include "shared/AppInfo.h"
#include "support/ProcessHelpers.h"
#include "support/ServiceStandIn.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

using testsupport::ScriptedReply;
using testsupport::ServiceStandIn;

namespace {
constexpr int kUpgradeCode = 24;

std::optional<UpgradeCheckResult> runCheck(const QString& baseUrl) {
    WebModel client(baseUrl, /*startTimers=*/false);
    std::optional<UpgradeCheckResult> got;
    int calls = 0;
    client.checkUpgrade([&](const UpgradeCheckResult& result) {
        got = result;
        ++calls;
    });
    const QDeadlineTimer deadline(8000);
    while (!got && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    // Exactly one completion, even if something arrives late.
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(calls, 1);
    return got;
}

class UpgradeCheck : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(standIn.start()); }
    std::optional<UpgradeCheckResult> answer(const ScriptedReply& reply) {
        standIn.setReply(kUpgradeCode, reply);
        return runCheck(standIn.baseUrl());
    }
    ServiceStandIn standIn;
};
}  // namespace

TEST_F(UpgradeCheck, SendsCode24WithClientAndVersionToStatistics) {
    const auto result = answer(ScriptedReply::encrypted(R"({"status":0,"info":"","data":""})"));
    ASSERT_TRUE(result);
    ASSERT_EQ(standIn.requestCount(), 1);
    const auto request = standIn.requests().first();
    EXPECT_EQ(request.http.method, "POST");
    EXPECT_EQ(request.http.path, "/inst.html");
    EXPECT_EQ(request.code, kUpgradeCode);
    ASSERT_TRUE(request.plaintext);
    EXPECT_EQ(*request.plaintext,
              QStringLiteral(R"({"ui":"%1","v":"%2"})").arg(WebModel::clientId(), AppInfo::version()));
}

TEST_F(UpgradeCheck, OfferAndAnswersWithoutOffer) {
    auto offer = answer(ScriptedReply::encrypted(
        R"({"status":1,"info":"x","data":{"url":"https://dl.test/t","md5":"ff","ver":"9.9.9.9","exp":"<p>new</p>"}})"));
    ASSERT_TRUE(offer);
    EXPECT_FALSE(offer->failed);
    ASSERT_TRUE(offer->info);
    EXPECT_EQ(*offer->info, (UpgradeInfo{"https://dl.test/t", "ff", "9.9.9.9", "<p>new</p>"}));

    // A body with an error status is read all the same.
    auto withError = answer(ScriptedReply::encrypted(R"({"data":{"url":"u","ver":"1"}})", 404));
    ASSERT_TRUE(withError && withError->info);
    EXPECT_EQ(withError->info->ver, "1");

    // A missing version is the empty text (never newer); a missing address is no offer.
    auto noVersion = answer(ScriptedReply::encrypted(R"({"data":{"url":"https://dl.test/t"}})"));
    ASSERT_TRUE(noVersion && noVersion->info);
    EXPECT_EQ(noVersion->info->ver, "");
    auto noUrl = answer(ScriptedReply::encrypted(R"({"data":{"ver":"9.9"}})"));
    ASSERT_TRUE(noUrl);
    EXPECT_FALSE(noUrl->info);
    EXPECT_FALSE(noUrl->failed);
    auto noData = answer(ScriptedReply::zeroPadded(R"({"status":0,"info":"","data":""})"));
    ASSERT_TRUE(noData);
    EXPECT_FALSE(noData->info);
    EXPECT_FALSE(noData->failed);
}

TEST_F(UpgradeCheck, UnreadableAnswersAreFailures) {
    for (const ScriptedReply& reply :
         {ScriptedReply::raw("<html>busy</html>", 500), ScriptedReply::encrypted("not json"),
          ScriptedReply::encrypted("[1,2]"), ScriptedReply::drop()}) {
        const auto result = answer(reply);
        ASSERT_TRUE(result);
        EXPECT_TRUE(result->failed);
        EXPECT_FALSE(result->info);
    }
}

TEST(UpgradeCheckOffline, RefusedConnectionIsAFailure) {
    const QString refused = testsupport::refusedServiceUrl();
    ASSERT_FALSE(refused.isEmpty());
    const auto result = runCheck(refused);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->failed);
    EXPECT_FALSE(result->info);
}
