#pragma once
// A stand-in service on loopback and a client pointed at it (without its timers).
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
        qputenv("TAVVEL_SERVICE_URL", standIn.baseUrl().toUtf8());
        model = std::make_unique<WebModel>(false);
    }
    void TearDown() override {
        model.reset();
        qunsetenv("TAVVEL_SERVICE_URL");
    }

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
