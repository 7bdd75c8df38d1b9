#include "OnlineTestSupport.h"

namespace onlinetest {

namespace {
class SharedClientEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        processStandIn();
        WebModel::shared();
    }
};
[[maybe_unused]] const auto* const kSharedClient = ::testing::AddGlobalTestEnvironment(new SharedClientEnvironment);
}  // namespace

testsupport::ServiceStandIn& processStandIn() {
    static testsupport::ServiceStandIn* standIn = [] {
        auto* made = new testsupport::ServiceStandIn;  // lives as long as the shared client
        EXPECT_TRUE(made->start());
        qputenv("TAVVEL_SERVICE_URL", made->baseUrl().toUtf8());
        return made;
    }();
    return *standIn;
}

}  // namespace onlinetest
