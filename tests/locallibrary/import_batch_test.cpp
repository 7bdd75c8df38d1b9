// Import batches end to end: the real import and database, the real progress window and alerts,
// "UpdateVideoList" on this test's own session bus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QDropEvent>
#include <QMutex>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QProcess>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <unistd.h>

#include "MainWindow/locallibrary/ImportBatch.h"
#include "MainWindow/locallibrary/ProgressWindow.h"
#include "MainWindow/locallibrary/ViewWithDrag.h"
#include "platform/NativeFileName.h"
#include "service/VideoProbe.h"
#include "platform/DistributedNotificationCenter.h"
#include "service/LocalLibraryModel.h"
#include "service/VideoSign.h"
#include "service/WebModel.h"
#include "shared/LocalVideoDBManager.h"
#include "support/MainWindowTestSupport.h"
#include "support/ProcessHelpers.h"

using namespace testsupport;

namespace {

// How an importer hands its answer back.
enum class Delivery {
    Synchronous,  // inside the importVideo call, on the caller's thread
    OtherThread,  // from a thread of its own
    Late,         // on the main thread, a while after the real import ended
};

// The real import, with its answers relayed in the chosen way. The synchronous form answers
// from the database alone ("already there" for a known file, else "unsupported").
class RelayingImporter : public LocalLibraryModel {
public:
    explicit RelayingImporter(Delivery delivery)
        : LocalLibraryModel(WebModel::shared(), LocalVideoDBManager::shared()), delivery_(delivery) {}

    void importVideo(const QUrl& url, bool checkOnline, ImportCompletion completion) override {
        ++calls;
        const int now = ++inFlight;
        int most = mostInFlight.load();
        while (now > most && !mostInFlight.compare_exchange_weak(most, now)) {
        }
        auto finish = [this, completion = std::move(completion)](const QString& sign, ImportVideoStatus status) {
            --inFlight;
            completion(sign, status);
        };
        if (delivery_ == Delivery::Synchronous) {
            const std::optional<QString> sign = videoSign(url.toLocalFile());
            const bool known = sign && LocalVideoDBManager::shared().videoWithSign(*sign);
            finish(sign.value_or(QString()), known ? ImportVideoStatus::isExist : ImportVideoStatus::failure);
        } else if (delivery_ == Delivery::OtherThread) {
            LocalLibraryModel::importVideo(url, checkOnline, [finish](const QString& sign, ImportVideoStatus status) {
                QThread* relay = QThread::create([finish, sign, status] { finish(sign, status); });
                QObject::connect(relay, &QThread::finished, relay, &QObject::deleteLater);
                relay->start();
            });
        } else {
            LocalLibraryModel::importVideo(url, checkOnline, [finish](const QString& sign, ImportVideoStatus status) {
                QTimer::singleShot(150, QCoreApplication::instance(), [finish, sign, status] { finish(sign, status); });
            });
        }
    }

    std::atomic<int> calls{0};
    std::atomic<int> inFlight{0};
    std::atomic<int> mostInFlight{0};

private:
    Delivery delivery_;
};

QStringList openAlerts() {
    QStringList texts;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            texts << box->text();
    texts.sort();
    return texts;
}

void closeAlerts() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(widget))
            widget->close();
    QCoreApplication::processEvents();
}

qsizetype shownProgressWindows(QWidget* main) {
    const auto windows = main->findChildren<ProgressWindowController*>();
    return std::count_if(windows.begin(), windows.end(), [](QWidget* w) { return w->isVisible(); });
}

class ImportBatchTest : public testing::Test {
protected:
    void SetUp() override {
        useUnreachableService();
        main.resize(800, 600);
        main.show();
        // A notice that an earlier test's batch posted must not count as this test's.
        ASSERT_TRUE(settleBusNotifications());
        updates = platform::DistributedNotificationCenter::defaultCenter().addObserver(
            ImportBatch::updateVideoListNotification, nullptr, [this] { note(QStringLiteral("UpdateVideoList")); });
    }
    void TearDown() override { closeAlerts(); }

    // The real window hooks, each step also written to the log.
    ImportBatchHooks loggedHooks() {
        ImportBatchHooks real = importWindowHooks(&main, {});
        ImportBatchHooks hooks;
        // Logged as "window" and "close" only when the real window did show and go.
        hooks.showProgressWindow = [this, real]() -> std::function<void()> {
            const qsizetype before = shownProgressWindows(&main);
            auto close = real.showProgressWindow();
            note(shownProgressWindows(&main) == before + 1 ? QStringLiteral("window") : QStringLiteral("no window"));
            return [this, close] {
                const qsizetype open = shownProgressWindows(&main);
                close();
                note(shownProgressWindows(&main) == open - 1 ? QStringLiteral("close")
                                                             : QStringLiteral("window stays"));
            };
        };
        hooks.showImportResult = [this, real](ImportVideoStatus status) {
            note(QStringLiteral("alert %1").arg(int(status)));
            real.showImportResult(status);
        };
        hooks.reload = [this] { note(QStringLiteral("reload")); };
        return hooks;
    }

    // Starts a batch whose completion is logged, as "completion on main" when it ran there.
    void startBatch(const QList<QUrl>& urls, LocalLibraryModel* importer) {
        ImportBatch::start(
            urls, loggedHooks(),
            [this] {
                const bool onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
                note(onMain ? QStringLiteral("completion on main") : QStringLiteral("completion"));
            },
            importer ? *importer : LocalLibraryModel::shared(),
            platform::DistributedNotificationCenter::defaultCenter());
    }

    // Runs a batch of `path` with the real window hooks: the text of the one alert it shows.
    QString alertOfBatch(const QString& path) {
        ImportBatch::start({QUrl::fromLocalFile(path)}, importWindowHooks(&main, {}), {}, LocalLibraryModel::shared(),
                           platform::DistributedNotificationCenter::defaultCenter());
        QMessageBox* alert = nullptr;
        const bool shown = QTest::qWaitFor([&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
                    alert = box;
            return alert != nullptr;
        });
        const QString text = shown ? alert->text() : QStringLiteral("no alert");
        if (shown) {
            EXPECT_EQ(alert->informativeText(), QFileInfo(path).fileName());  // the name, tags and all
        }
        closeAlerts();
        EXPECT_TRUE(waitForUpdates(1));  // the batch has ended
        logged(true);
        return text;
    }

    bool waitForUpdates(int count) {
        return QTest::qWaitFor([&] { return logged().count(QStringLiteral("UpdateVideoList")) >= count; }, 30000);
    }

    // The log of events, which any thread may add to; read (and emptied) on the main thread.
    void note(const QString& event) {
        QMutexLocker lock(&mutex);
        eventLog.append(event);
    }
    QStringList logged(bool clear = false) {
        QMutexLocker lock(&mutex);
        return clear ? std::exchange(eventLog, {}) : eventLog;
    }

    QWidget main;
    QTemporaryDir sources;
    QMutex mutex;
    QStringList eventLog;
    DisposablePtr updates;
};

}  // namespace

TEST_F(ImportBatchTest, OneFileAtATimeWhateverThreadOrDelayTheAnswerComesOn) {
    const QUrl clip = QUrl::fromLocalFile(copyOfTestVideo(sources, QStringLiteral("clip_320x180.mp4")));
    const QUrl noVideo = QUrl::fromLocalFile(copyOfTestVideo(sources, QStringLiteral("audio_only.mp4")));
    const QString sign = *videoSign(clip.toLocalFile());
    const QStringList two{"window", "alert 2", "alert 1", "close", "reload", "UpdateVideoList"};
    const QStringList twoAlerts{"This video exists", "This video format is not supported"};
    struct Case {
        const char* name;
        std::optional<Delivery> delivery;  // none: the library's own importer
        QList<QUrl> urls;
        QStringList events;
        QStringList alerts;
    };
    const Case cases[] = {
        {"other thread", Delivery::OtherThread, {clip, clip, noVideo}, two, twoAlerts},
        {"late", Delivery::Late, {clip, clip, noVideo}, two, twoAlerts},
        // The synchronous importer only looks at the database, where the run before left the clip.
        {"synchronous", Delivery::Synchronous, {clip, noVideo}, two, twoAlerts},
        {"empty batch", std::nullopt, {}, {"window", "close", "reload", "UpdateVideoList"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(settleBusNotifications());
        logged(true);  // a fresh log for each case
        if (c.delivery && *c.delivery != Delivery::Synchronous)
            LocalVideoDBManager::shared().deleteVideoWithSign(sign);
        std::optional<RelayingImporter> importer;
        if (c.delivery)
            importer.emplace(*c.delivery);
        startBatch(c.urls, importer ? &*importer : nullptr);
        // The caller is never held: the window comes on the next turn of the event loop.
        EXPECT_FALSE(logged().contains(QStringLiteral("window")));
        ASSERT_TRUE(waitForUpdates(1));

        if (importer) {
            EXPECT_EQ(importer->calls, c.urls.size());
            EXPECT_EQ(importer->mostInFlight, 1);
        }
        QStringList events = logged();
        // The completion runs on the batch's worker while the main thread closes and reloads, but
        // always before the notice goes out.
        ASSERT_EQ(events.count(QStringLiteral("completion")), 1) << events.join(", ").toStdString();
        EXPECT_LT(events.indexOf(QStringLiteral("completion")), events.indexOf(QStringLiteral("UpdateVideoList")));
        events.removeAll(QStringLiteral("completion"));
        EXPECT_EQ(events, c.events) << events.join(", ").toStdString();
        EXPECT_EQ(shownProgressWindows(&main), 0);
        EXPECT_EQ(openAlerts(), c.alerts);
        closeAlerts();
        if (c.delivery) {
            EXPECT_TRUE(LocalVideoDBManager::shared().videoWithSign(sign).has_value());
        }
    }
}

TEST_F(ImportBatchTest, BatchesOneAfterAnotherNeverRaceOnAFile) {
    const QString clip = copyOfTestVideo(sources, QStringLiteral("clip_1366x768.mov"), QStringLiteral("Harbour.MOV"));
    RelayingImporter importer(Delivery::Late);
    // The same file in two batches started together, as a second drop during the first would.
    startBatch({QUrl::fromLocalFile(clip)}, &importer);
    startBatch({QUrl::fromLocalFile(clip)}, &importer);
    ASSERT_TRUE(waitForUpdates(2));
    EXPECT_EQ(importer.calls, 2);
    EXPECT_EQ(importer.mostInFlight, 1);
    EXPECT_EQ(openAlerts(), QStringList{"This video exists"});

    const QString sign = *videoSign(clip);
    int rows = 0;
    for (const VideoDetail& video : LocalVideoDBManager::shared().allVideos())
        rows += video.sign == sign;
    EXPECT_EQ(rows, 1);
    const QStringList copies = QDir(LocalLibraryModel::downloadVideoDirectory().toLocalFile())
                                   .entryList({QStringLiteral("*.MOV"), QStringLiteral("*.mov")}, QDir::Files);
    EXPECT_EQ(copies, QStringList{"Harbour.MOV"});
    // Each batch had its own window and closed it before the next one's end.
    QStringList events = logged();
    events.removeAll(QStringLiteral("completion"));
    EXPECT_EQ(events, QStringList({"window", "window", "close", "reload", "UpdateVideoList", "alert 2", "close",
                                   "reload", "UpdateVideoList"}))
        << events.join(", ").toStdString();
}

TEST_F(ImportBatchTest, EachFailedFileIsNamedWithWhatWentWrong) {
    const QString text = writeFile(sources.filePath(QStringLiteral("notes <b>1</b>.mp4")), "just words");
    ASSERT_TRUE(QDir(sources.path()).mkdir(QStringLiteral("folder.mp4")));
    const QString clip = copyOfTestVideo(sources, QStringLiteral("clip_320x180.mp4"));
    struct Case {
        QString path;
        const char* text;
    } cases[] = {
        {text, "This video format is not supported"},
        {sources.filePath(QStringLiteral("folder.mp4")), "This file cannot be read"},
        {sources.filePath(QStringLiteral("gone.mp4")), "This file cannot be read"},
        {clip, "This video exists"},
    };
    ImportBatch::start({QUrl::fromLocalFile(clip)}, {}, {}, LocalLibraryModel::shared(),
                       platform::DistributedNotificationCenter::defaultCenter());  // the clip is in the library before
    ASSERT_TRUE(waitForUpdates(1));
    logged(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(alertOfBatch(c.path), QString::fromLatin1(c.text));
    }
    // Looked at after a failure: a readable file is no video, an address no file.
    EXPECT_EQ(importProblemOf(QUrl::fromLocalFile(text), sources.path()).problem, ImportProblem::notVideo);
    EXPECT_EQ(importProblemOf(QUrl(QStringLiteral("https://example.invalid/a.mp4")), sources.path()).problem,
              ImportProblem::unreadable);
}

// Undoes a change to the library folder whatever the test's end.
struct FolderRestore {
    QString folder;
    ~FolderRestore() { undo(); }
    void undo() const {
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), folder});
        QFile(folder).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (!QFileInfo(folder).isDir())
            QFile::remove(folder);
        QDir().mkpath(folder);
    }
};

TEST_F(ImportBatchTest, ALibraryFolderThatCannotBeWrittenIsNamedWithTheCause) {
    const QString folder = LocalLibraryModel::downloadVideoDirectory().toLocalFile();
    FolderRestore restore{folder};
    const QString clip = copyOfTestVideo(sources, QStringLiteral("clip_1280x720.mp4"));
    const auto text = [](const QString& path, int error) {
        return QStringLiteral("The folder \"%1\" cannot be written: %2")
            .arg(path, QString::fromLocal8Bit(strerror(error)));
    };
    // As root no mode bit stops a write: there the folder is made immutable instead.
    const bool root = ::geteuid() == 0;
    const struct {
        std::function<bool()> spoil;
        int error;
    } cases[] = {
        {[&] { return QDir(folder).removeRecursively() && QFile(folder).open(QIODevice::WriteOnly); }, ENOTDIR},
        {[&] {
             return root ? QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}) == 0
                         : QFile(folder).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
         },
         root ? EPERM : EACCES},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        ASSERT_TRUE(c.spoil());
        EXPECT_EQ(alertOfBatch(clip), text(folder, c.error));
        EXPECT_FALSE(LocalVideoDBManager::shared().videoWithSign(*videoSign(clip)));
        restore.undo();
    }
    // A data folder that is a file (XDG_DATA_HOME set so): the folders below it cannot be made.
    const QString blocker = sources.filePath(QStringLiteral("data"));
    ASSERT_TRUE(QFile(blocker).open(QIODevice::WriteOnly));
    const QString below = blocker + QStringLiteral("/container/DownloadVideo");
    EXPECT_EQ(importResultText(ImportVideoStatus::failure, importProblemOf(QUrl::fromLocalFile(clip), below)),
              text(below, ENOTDIR));
}

TEST_F(ImportBatchTest, ANameThatIsNotUtf8IsImportedByItsBytes) {
    emptyLibrary();
    // "café.mp4" in Latin-1, as an old archive or a USB stick holds it: no QString spells it.
    const QByteArray name("caf\xe9.mp4");
    const QByteArray source = QFile::encodeName(sources.path()) + '/' + name;
    std::filesystem::copy_file(testVideo(QStringLiteral("clip_320x180.mp4")).toStdString(), source.toStdString());
    ASSERT_NE(QFile::encodeName(QFile::decodeName(source)), source);  // what Qt alone would lose

    // Dropped by a file manager, which writes the bytes percent-encoded.
    QWidget area;
    ViewWithDrag drag(&area);
    drag.isLocalTabShown = [] { return true; };
    QList<QUrl> dropped;
    drag.importVideos = [&](const QList<QUrl>& files) { dropped = files; };
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), "file://" + source.toPercentEncoding("/") + "\r\n");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&area, &enter);
    QDropEvent drop(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&area, &drop);
    ASSERT_EQ(dropped.size(), 1);
    EXPECT_EQ(platform::nativeFilePath(dropped.front()), source);

    logged(true);
    startBatch(dropped, nullptr);
    ASSERT_TRUE(waitForUpdates(1));
    EXPECT_EQ(openAlerts(), QStringList());
    const std::optional<VideoDetail> row = LocalVideoDBManager::shared().videoWithSign(
        *videoSign(testVideo(QStringLiteral("clip_320x180.mp4"))));
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->title, QStringLiteral("caf\uFFFD"));
    // The stored address names the copy's bytes exactly, and they are the ones the name shows.
    const QUrl stored = QUrl::fromEncoded(row->url.toUtf8(), QUrl::StrictMode);
    EXPECT_EQ(stored.toString(QUrl::FullyEncoded), row->url);
    const QString copy = stored.toLocalFile();
    EXPECT_EQ(platform::nativeFilePath(stored), QFile::encodeName(copy));
    EXPECT_EQ(QFileInfo(copy).fileName(), QStringLiteral("caf\uFFFD.mp4"));
    // The player's and the library's way in: the path as text, and FFmpeg given it in UTF-8.
    EXPECT_GT(probeVideo(copy).duration, 0);
    EXPECT_TRUE(QFileInfo(QUrl(row->imgurl).toLocalFile()).isFile());
    // Had it failed, it would not have been told as unreadable.
    EXPECT_EQ(importProblemOf(dropped.front(), sources.filePath(QStringLiteral("lib"))).problem,
              ImportProblem::notVideo);
}
