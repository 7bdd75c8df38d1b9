#pragma once
// Shared pieces of the download tests: one service stand-in per process (the web client's
// base address points at it), a file route per test, the served videos and small waits.
#include "service/DownloadManager.h"
#include "service/WebModel.h"
#include "support/FileServing.h"
#include "support/ServiceStandIn.h"
#include "shared/Disposable.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <memory>

namespace dltest {

// Started on first use; TAVVEL_SERVICE_URL names it before the web client is made.
testsupport::ServiceStandIn& standIn();

// Path of a served video: "big.mp4" (about 3 MB) or "small.mp4" (tens of KB), made with ffmpeg.
QString media(const QString& name);
QByteArray contents(const QString& path);
QString signOf(const QString& path);

// A catalogue record of a video to download.
VideoDetail video(const QString& sign, const QString& url, qint64 id = 4711);

// Runs the event loop until `done` holds or the time is up.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 15000);
// Runs the event loop for a while.
void spin(int ms);

// File names in "DownloadVideo".
QStringList libraryFiles();

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A fresh manager, as at a launch (the previous one, if any, is destroyed first).
    DownloadManager& launch();
    void destroyManager();
    DownloadManager& manager() { return *manager_; }
    // File names in the caches directory other than the list, once the list's background write
    // (through a temporary file beside it) has ended.
    QStringList cacheFiles() const;

    DownloadManager::ItemPtr item(size_t index) const { return manager_->progressArray().at(index); }
    // Waits until the item's current transfer ended and its answer was handled.
    bool waitForStatus(const DownloadManager::ItemPtr& item, ItemStatus status, int timeoutMs = 15000);

    std::unique_ptr<testsupport::FileServing> files;
    // Every "reloadCollectionView.Notification", in order.
    QList<QVariantMap> reloads;

private:
    std::unique_ptr<WebModel> web_;
    std::unique_ptr<DownloadManager> manager_;
    DisposablePtr reloadObserver_;
};

}  // namespace dltest
