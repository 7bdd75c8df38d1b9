#pragma once
// Shared pieces of the library tests: videos, the main program's bundle, event-loop waits and a
// counter of "updateVideoAmount".
#include "shared/Disposable.h"
#include "shared/VideoDetail.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace librarytest {

VideoDetail video(const QString& sign, const QString& title = QString(), const QString& imgurl = QString());
std::vector<VideoDetail> videos(int count, const QString& prefix = QStringLiteral("v"));

// Runs queued work (several rounds, so work queued by queued work runs too).
void drain();
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Counts "updateVideoAmount" posts while it lives.
class AmountPosts {
public:
    AmountPosts();
    int count = 0;

private:
    DisposablePtr observation_;
};

// Every test runs as the main program, with an empty library.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace librarytest
