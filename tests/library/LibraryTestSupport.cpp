#include "LibraryTestSupport.h"

#include "MainWindow/Controller/LibraryViewModel.h"
#include "platform/AppLauncher.h"
#include "platform/Bundle.h"
#include "platform/NotificationCenter.h"
#include "shared/LocalVideoDBManager.h"

#include <QCoreApplication>
#include <QTest>

namespace librarytest {

VideoDetail video(const QString& sign, const QString& title, const QString& imgurl) {
    VideoDetail v;
    v.sign = sign;
    v.title = title.isEmpty() ? QStringLiteral("Title ") + sign : title;
    v.imgurl = imgurl;
    return v;
}

std::vector<VideoDetail> videos(int count, const QString& prefix) {
    std::vector<VideoDetail> list;
    for (int i = 0; i < count; ++i)
        list.push_back(video(prefix + QString::number(i)));
    return list;
}

void drain() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    return QTest::qWaitFor(done, timeoutMs);
}

AmountPosts::AmountPosts()
    : observation_(platform::NotificationCenter::defaultCenter().addObserver(
          LibraryViewModel::updateVideoAmountName(), nullptr, [this](const QVariantMap&) { ++count; })) {}

void LibraryTest::SetUp() {
    platform::setMainBundle(
        {QStringLiteral("1.0.0"), QStringLiteral("1"), QString::fromLatin1(platform::kMainAppIdentifier)});
    LocalVideoDBManager::shared().deleteAllVideos();
}

void LibraryTest::TearDown() {
    drain();
    LocalVideoDBManager::shared().deleteAllVideos();
}

}  // namespace librarytest
