// A dropped batch of clips through the library screen (drop zone, batch, progress window,
// alerts, reload, notice) against the same number of clips through the import alone, one after
// another. Usage: locallibrary_bench DIR_A DIR_B (two folders of distinct clips).
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTest>
#include <cstdio>

#include "MainWindow/locallibrary/ImportBatch.h"
#include "MainWindow/library/VideoLibraryViewController.h"
#include "platform/DistributedNotificationCenter.h"
#include "service/LocalLibraryModel.h"
#include "support/ProcessHelpers.h"

namespace {
QList<QUrl> clips(const QString& dir) {
    QList<QUrl> urls;
    for (const QFileInfo& file : QDir(dir).entryInfoList({QStringLiteral("*.mp4")}, QDir::Files, QDir::Name))
        urls << QUrl::fromLocalFile(file.absoluteFilePath());
    return urls;
}
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    qputenv("TAVVEL_SERVICE_URL", testsupport::refusedServiceUrl().toUtf8());
    // The first clip of each folder is left out: one warms up the import (service client,
    // database, decoders), so both runs are measured warm.
    QList<QUrl> alone = clips(QString::fromLocal8Bit(argv[1]));
    QList<QUrl> dropped = clips(QString::fromLocal8Bit(argv[2]));
    if (alone.size() < 2 || dropped.size() < 2)
        return 2;
    bool warm = false;
    LocalLibraryModel::shared().importVideo(alone.takeFirst(), true,
                                            [&](const QString&, ImportVideoStatus) { warm = true; });
    if (!QTest::qWaitFor([&] { return warm; }, 60000))
        return 1;
    dropped.removeFirst();

    // Baseline: the import service alone, the next file once the last one answered.
    QElapsedTimer clock;
    clock.start();
    int done = 0;
    std::function<void()> next = [&] {
        if (done == alone.size())
            return;
        LocalLibraryModel::shared().importVideo(alone[done], true, [&](const QString&, ImportVideoStatus) {
            ++done;
            next();
        });
    };
    next();
    if (!QTest::qWaitFor([&] { return done == alone.size(); }, 120000))
        return 1;
    const double baseline = clock.elapsed();

    // Through the screen: a drop on the local tab until the desktop player is told.
    QWidget window;
    VideoLibraryViewController screen(MainParts::make(), &window);
    window.resize(1000, 700);
    window.show();
    screen.view()->resize(window.size());
    bool told = false;
    const DisposablePtr notice = platform::DistributedNotificationCenter::defaultCenter().addObserver(
        ImportBatch::updateVideoListNotification, nullptr, [&] { told = true; });
    QMimeData data;
    data.setUrls(dropped);
    QWidget* viewport = screen.collectionView()->viewport();
    clock.restart();
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    const bool ended = QTest::qWaitFor([&] { return told; }, 120000);
    const double screenMs = clock.elapsed();
    std::printf("import alone %lld clips: %.0f ms (1.00)\n", qlonglong(alone.size()), baseline);
    std::printf("dropped batch %lld clips through the screen: %.0f ms (%.2f)\n", qlonglong(dropped.size()), screenMs,
                screenMs / baseline);
    // The reloaded list's thumbnails decode on the shared image loader's threads, which outlive
    // the application object: let them end before it goes.
    QTest::qWait(3000);
    return ended ? 0 : 1;
}
