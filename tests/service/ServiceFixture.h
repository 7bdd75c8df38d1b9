#pragma once
// A stand-in service on loopback and a client pointed at it (without its timers).
#include "platform/DefaultsSuite.h"
#include "service/WebModel.h"
#include "shared/AppInfo.h"
#include "support/ServiceStandIn.h"

#include <QTest>
#include <gtest/gtest.h>
#include <memory>

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(standIn.start());
        // Every test starts without a stored "ct", whatever ran before it in this process (a
        // child's write is read in first, so the removal covers it).
        platform::DefaultsSuite::standard().synchronize();
        platform::DefaultsSuite::standard().remove(QStringLiteral("ct"));
        platform::DefaultsSuite::standard().synchronize();
        model = std::make_unique<WebModel>(standIn.baseUrl(), false);
    }
    void TearDown() override { model.reset(); }

    // The only recorded request (fails the test otherwise).
    testsupport::RecordedRequest only() {
        const auto all = standIn.requests();
        EXPECT_EQ(all.size(), 1);
        return all.isEmpty() ? testsupport::RecordedRequest{} : all.first();
    }
    static bool waitFor(const std::function<bool()>& done, int ms = 5000) { return QTest::qWaitFor(done, ms); }

    static QString ui() { return WebModel::clientId(); }
    static QString version() { return AppInfo::version(); }

    testsupport::ServiceStandIn standIn;
    std::unique_ptr<WebModel> model;
};
