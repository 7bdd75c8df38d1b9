#pragma once
// Pieces the main window's tests share: video records, the main program's identity and an empty
// library, waits on the event loop, the generated clips, the library's grid, and a recorder of
// what the program asks the desktop to open.
#include "MainWindow/startup/MainParts.h"
#include "MainWindow/library/WQCollectionView.h"
#include "platform/DefaultsSuite.h"
#include "shared/Disposable.h"
#include "shared/VideoDetail.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <vector>

namespace testsupport {

// Thumbnails as the import writes them: `count` frames of 1280 x 720 in PNG files in `folder`,
// one colour each; their file addresses.
QStringList writeFrames(const QString& folder, int count);
// Scrolls `view` to its end and back to the top: a page at a time, each shown until its
// thumbnails arrived, or `pixelsPerFrame` every 16 ms as a hand on the wheel does. False when
// thumbnails did not arrive within a while.
bool scrollEndToEndAndBack(WQCollectionView& view, int pixelsPerFrame = 0);
// The resident memory of this process, in MiB.
double residentMiB();

// The main program's parts with the service client and the download queue replaced (null
// keeps the process's own).
MainParts mainParts(WebModel* web, DownloadManager* downloads);

// A video record titled "Title <sign>" unless a title is given.
VideoDetail video(const QString& sign, const QString& title = {}, const QString& imgurl = {});
// Videos <prefix>0 .. <prefix><count - 1>.
std::vector<VideoDetail> videos(int count, const QString& prefix = QStringLiteral("v"));

// The signs and the titles of the library's rows, in the database's order.
QStringList librarySigns();
QStringList libraryTitles();

// No rows in the library and nothing in its video folder, as on a first start.
void emptyLibrary();

// Runs queued work, several rounds, so that work queued by queued work runs too.
void drain();
// Shows `widget` at `size` and waits until the window system exposes it.
bool showExposed(QWidget* widget, QSize size);

// This process takes the main program's identity (its settings and folders).
void actAsMainProgram();
// The shared settings as a first start finds them, set through the process's own object so that
// it and the file agree.
void resetSharedSettings();
// Points the web service at a closed loopback port, so every request fails at once.
void useUnreachableService();
// The shared settings suite as the other processes last wrote it.
platform::DefaultsSuite& writtenSuite();
// Sets `key` to `value` in the shared settings from a process of its own, as the other program does.
void setInOtherProcess(const QString& key, const QString& value);

// A clip made by make_test_videos.sh (the test target depends on tavvel_test_videos).
QString testVideo(const QString& clip);
// A copy of that clip in `folder`, under `name` when one is given.
QString copyOfTestVideo(const QTemporaryDir& folder, const QString& clip, const QString& name = {});
// Writes `bytes` to `path`, making its folders; returns the path.
QString writeFile(const QString& path, const QByteArray& bytes = "not really a video");

// Counts "updateVideoAmount" posts while it lives.
class AmountPosts {
public:
    AmountPosts();
    int count = 0;

private:
    DisposablePtr observation_;
};

// The library's grid: four columns of cells 110 high.
struct Grid {
    Grid();
    ColumnLayout layout;
    WQCollectionView view;
};

// Takes what the program asks the desktop to open for these schemes, while it lives.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    explicit OpenedUrls(const QStringList& schemes = {QStringLiteral("http"), QStringLiteral("https"),
                                                      QStringLiteral("file"), QStringLiteral("javascript")});
    ~OpenedUrls() override;
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url);

private:
    QStringList schemes_;
};

// Every test runs as the main program, on an empty library and first-start settings.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace testsupport
