// Importing local files into the library, against the loopback stand-in for the service, the
// real database file and real FFmpeg-made clips.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <sys/file.h>

#include "ImportFixture.h"
#include "service/LocalLibraryModel.h"
#include "service/VideoSign.h"
#include "service/WebModel.h"
#include "shared/AppInfo.h"
#include "shared/LocalVideoDBManager.h"
#include "support/DatabaseLock.h"
#include "support/ServiceStandIn.h"

using importtest::testVideo;
using testsupport::ScriptedReply;

namespace {

struct Outcome {
    int calls = 0;
    QString sign;
    ImportVideoStatus status = ImportVideoStatus::failure;
    bool onMainThread = true;
    bool afterReturn = true;
};

QStringList entries(const QString& directory, const QStringList& filters = {}) {
    return QDir(directory).entryList(filters, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QString downloadDirectory() {
    return LocalLibraryModel::downloadVideoDirectory().toLocalFile();
}

QStringList thumbnails() {
    return entries(AppInfo::applicationSupport(), {QStringLiteral("*.png")});
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ImportTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(service.start());
        ASSERT_TRUE(sources.isValid());
        // Every test starts from an empty library, whatever ran before it in this process.
        LocalVideoDBManager::shared().deleteAllVideos();
        const QString folder = downloadDirectory();
        QDir(folder).removeRecursively();
        QFile::remove(folder);  // a test may have put a file in its place
        QDir().mkpath(folder);
        for (const QString& name : thumbnails())
            QFile::remove(QDir(AppInfo::applicationSupport()).filePath(name));
        web = std::make_unique<WebModel>(service.baseUrl(), /*startTimers=*/false);
        library = std::make_unique<LocalLibraryModel>(*web, LocalVideoDBManager::shared());
    }

    // A copy of a test clip under `name` in a folder of this test.
    QString source(const QString& clip, const QString& name = {}) {
        const QString path = sources.filePath(name.isEmpty() ? clip : name);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(testVideo(clip), path));
        return path;
    }

    // Imports and runs the event loop until the completion came, then a little longer so a
    // second completion would show.
    Outcome import(const QUrl& url, bool checkOnline = true) {
        auto outcome = std::make_shared<Outcome>();
        auto returned = std::make_shared<bool>(false);
        outcome->calls = 0;
        library->importVideo(url, checkOnline, [outcome, returned](const QString& sign, ImportVideoStatus status) {
            ++outcome->calls;
            outcome->sign = sign;
            outcome->status = status;
            outcome->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
            outcome->afterReturn = *returned;
        });
        *returned = true;
        QElapsedTimer timer;
        timer.start();
        while (outcome->calls == 0 && timer.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const qint64 settle = timer.elapsed() + 300;
        while (timer.elapsed() < settle)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(outcome->calls, 1);
        EXPECT_TRUE(outcome->onMainThread);
        EXPECT_TRUE(outcome->afterReturn);
        return *outcome;
    }
    Outcome import(const QString& path, bool checkOnline = true) {
        return import(QUrl::fromLocalFile(path), checkOnline);
    }
    // Imports a file that must be taken; its row, stored under the file's own sign.
    std::optional<VideoDetail> imported(const QString& path, bool checkOnline = true) {
        const Outcome outcome = import(path, checkOnline);
        EXPECT_EQ(outcome.status, ImportVideoStatus::complete);
        EXPECT_EQ(outcome.sign, videoSign(path).value_or(QString()));
        return LocalVideoDBManager::shared().videoWithSign(outcome.sign);
    }

    // The stand-in's record for 504: a full record that differs from the file in every field.
    static QByteArray serviceRecordReply(const QString& sign) {
        VideoDetail detail;
        detail.id = 4711;
        detail.sign = sign;
        detail.title = QStringLiteral("Harbour at dusk");
        detail.url = QStringLiteral("https://cdn.tavvel.invalid/v/4711.mp4");
        detail.imgurl = QStringLiteral("https://cdn.tavvel.invalid/i/4711.jpg");
        detail.time = 31000;
        detail.size = 123456;
        detail.ratio = QStringLiteral("16:9");
        detail.width = 3840;
        detail.height = 2160;
        detail.frame = 30;
        detail.author = QStringLiteral("someone");
        QJsonObject reply{{"status", 0}, {"info", ""}, {"data", detail.toJsonObject()}};
        return QJsonDocument(reply).toJson(QJsonDocument::Compact);
    }

    testsupport::ServiceStandIn service;
    QTemporaryDir sources;
    std::unique_ptr<WebModel> web;
    std::unique_ptr<LocalLibraryModel> library;  // declared after `web`, so it goes first
};

TEST_F(ImportTest, ServiceRecordIsStoredWithTheCopyAndTheFilesOwnSign) {
    const QString path = source(QStringLiteral("clip_320x180.mp4"));
    const QString sign = *videoSign(path);
    service.setReply(504,
                     ScriptedReply::encrypted(serviceRecordReply(QStringLiteral("0123456789abcdef0123456789abcdef"))));

    const Outcome outcome = import(path);
    EXPECT_EQ(outcome.status, ImportVideoStatus::complete);
    EXPECT_EQ(outcome.sign, sign);

    // The service was asked once, by the file's sign.
    QList<testsupport::RecordedRequest> asked;
    for (const auto& request : service.requests())
        if (request.code == 504)
            asked.append(request);
    ASSERT_EQ(asked.size(), 1);
    ASSERT_TRUE(asked[0].json);
    EXPECT_EQ(asked[0].json->value("sign").toString(), sign);

    const auto row = LocalVideoDBManager::shared().videoWithSign(sign);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->sign, sign);  // not the service's
    EXPECT_EQ(row->id, 4711);
    EXPECT_EQ(row->title, QStringLiteral("Harbour at dusk"));
    EXPECT_EQ(row->imgurl, QStringLiteral("https://cdn.tavvel.invalid/i/4711.jpg"));
    EXPECT_EQ(row->width, 3840);

    // The url is the file-URL text of the copy and leads back to it.
    const QString copy = QDir(downloadDirectory()).filePath(QStringLiteral("clip_320x180.mp4"));
    EXPECT_EQ(row->url, QUrl::fromLocalFile(copy).toString(QUrl::FullyEncoded));
    EXPECT_TRUE(row->url.contains(QStringLiteral("Application%20Support")));
    EXPECT_EQ(QUrl(row->url).toLocalFile(), copy);
    EXPECT_EQ(fileBytes(copy), fileBytes(path));
    EXPECT_TRUE(thumbnails().isEmpty());
}

TEST_F(ImportTest, FailingServiceGivesTheRecordReadFromTheFile) {
    service.setReply(504, ScriptedReply::drop());
    const QString path = source(QStringLiteral("clip_1280x720.mp4"), QStringLiteral("harbour.clip.mp4"));
    const auto row = imported(path);
    EXPECT_GE(service.requestCount(), 1);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->id, 0);
    EXPECT_EQ(row->title, QStringLiteral("harbour.clip"));
    EXPECT_EQ(row->time, 2000);
    EXPECT_EQ(row->size, QFileInfo(path).size());
    EXPECT_EQ(row->ratio, QStringLiteral("16:9"));
    EXPECT_EQ(row->width, 1280);
    EXPECT_EQ(row->height, 720);
    EXPECT_EQ(row->frame, 10);
    EXPECT_GT(row->rate, 0);
    EXPECT_EQ(row->audio, 1);
    EXPECT_TRUE(row->preurl.isEmpty() && row->description.isEmpty() && row->tags.isEmpty() && row->author.isEmpty());

    const QString copy = QUrl(row->url).toLocalFile();
    EXPECT_EQ(QFileInfo(copy).dir().absolutePath(), QDir(downloadDirectory()).absolutePath());
    EXPECT_EQ(QFileInfo(copy).fileName(), QStringLiteral("harbour.clip.mp4"));
    EXPECT_EQ(fileBytes(copy), fileBytes(path));

    // The thumbnail is a PNG of the video's size in Application Support.
    ASSERT_EQ(thumbnails().size(), 1);
    const QString png = QUrl(row->imgurl).toLocalFile();
    EXPECT_EQ(row->imgurl, QUrl::fromLocalFile(png).toString(QUrl::FullyEncoded));
    EXPECT_EQ(QFileInfo(png).dir().absolutePath(), QDir(AppInfo::applicationSupport()).absolutePath());
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^[A-Za-z0-9]{10}\\.png$")).match(QFileInfo(png).fileName()).hasMatch());
    EXPECT_EQ(QImage(png).size(), QSize(1280, 720));
}

TEST_F(ImportTest, WithoutCheckOnlineTheServiceIsNotAsked) {
    service.setReply(504, ScriptedReply::encrypted(serviceRecordReply(QStringLiteral("x"))));
    const auto row = imported(source(QStringLiteral("clip_320x180.mp4")), false);
    for (const auto& request : service.requests())
        EXPECT_NE(request.code, 504);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->title, QStringLiteral("clip_320x180"));
}

TEST_F(ImportTest, SecondImportOfTheSameVideoIsExistAndCopiesNothing) {
    const QString path = source(QStringLiteral("clip_320x180.mp4"));
    const Outcome first = import(path, false);
    ASSERT_EQ(first.status, ImportVideoStatus::complete);
    const QStringList copies = entries(downloadDirectory());
    const QStringList pngs = thumbnails();
    ASSERT_EQ(copies.size(), 1);

    const Outcome again = import(path);
    EXPECT_EQ(again.status, ImportVideoStatus::isExist);
    EXPECT_EQ(again.sign, first.sign);
    // The same bytes under another name are the same video.
    const Outcome renamed = import(source(QStringLiteral("clip_320x180.mp4"), QStringLiteral("other name.mp4")));
    EXPECT_EQ(renamed.status, ImportVideoStatus::isExist);

    EXPECT_EQ(entries(downloadDirectory()), copies);
    EXPECT_EQ(thumbnails(), pngs);
    EXPECT_EQ(LocalVideoDBManager::shared().allVideos().size(), 1u);
    for (const auto& request : service.requests())
        EXPECT_NE(request.code, 504);  // the duplicate test comes before anything else
}

TEST_F(ImportTest, TakenNameGetsTenRandomLettersAndDigits) {
    const struct {
        const char *clip, *name, *title, *copyName;
    } cases[] = {{"clip_320x180.mp4", "clip.mp4", "clip", "^[A-Za-z0-9]{10}\\.mp4$"},
                 {"clip_640x360.webm", "bare", "bare", "^[A-Za-z0-9]{10}$"}};  // without an extension, gets none
    qsizetype files = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString taken = QDir(downloadDirectory()).filePath(QString::fromLatin1(c.name));
        ASSERT_TRUE(QFile::copy(testVideo(QStringLiteral("clip_12_7s.mp4")), taken));
        const QByteArray before = fileBytes(taken);
        const auto row = imported(source(QString::fromLatin1(c.clip), QString::fromLatin1(c.name)), false);
        ASSERT_TRUE(row);
        const QString copyName = QFileInfo(QUrl(row->url).toLocalFile()).fileName();
        EXPECT_TRUE(QRegularExpression(QString::fromLatin1(c.copyName)).match(copyName).hasMatch())
            << copyName.toStdString();
        EXPECT_EQ(row->title, QString::fromLatin1(c.title));
        EXPECT_EQ(fileBytes(taken), before);
        files += 2;  // the one in the way, and the copy
        EXPECT_EQ(entries(downloadDirectory()).size(), files);
    }
}

TEST_F(ImportTest, RecordValuesOfEachShapeAndLength) {
    // Sizes as played: rotation metadata and the pixel aspect applied; thumbnails of that shape,
    // scaled down past kThumbnailLongestSide.
    struct Case {
        const char* clip;
        const char* name;
        qint64 width, height;
        const char* ratio;
        qint64 time;
        qint64 audio;
        const char* title;
        QSize thumbnail;
    };
    const Case cases[] = {
        {"clip_12_7s.mp4", "clip_12_7s.mp4", 160, 90, "16:9", 12000, 0, "clip_12_7s", {160, 90}},
        {"clip_1280x720.mp4", "mp4clip.mp4", 1280, 720, "16:9", 2000, 1, "mp4clip", {1280, 720}},
        {"clip_1366x768.mov", "my.video.mov", 1366, 768, "683:384", 1000, 0, "my.video", {1280, 720}},
        {"clip_1080x1920.mkv", "portrait.mkv", 1080, 1920, "9:16", 1000, 0, "portrait", {720, 1280}},
        {"clip_640x360.webm", ".hidden", 640, 360, "16:9", 1000, 1, ".hidden", {640, 360}},
        {"rotated_90.mp4", "phone.mp4", 180, 320, "9:16", 1000, 0, "phone", {180, 320}},
        {"anamorphic.mp4", "anamorphic.mp4", 1920, 1080, "16:9", 1000, 0, "anamorphic", {1280, 720}},
        {"one_frame.mp4", "still.mp4", 320, 180, "16:9", 1000, 0, "still", {320, 180}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto row = imported(source(QString::fromLatin1(c.clip), QString::fromLatin1(c.name)), false);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->width, c.width);
        EXPECT_EQ(row->height, c.height);
        EXPECT_EQ(row->ratio, QString::fromLatin1(c.ratio));
        EXPECT_EQ(row->time, c.time);
        EXPECT_EQ(row->audio, c.audio);
        EXPECT_EQ(row->title, QString::fromLatin1(c.title));
        EXPECT_EQ(QFileInfo(QUrl(row->url).toLocalFile()).fileName(), QString::fromLatin1(c.name));
        EXPECT_EQ(QImage(QUrl(row->imgurl).toLocalFile()).size(), c.thumbnail);
    }
    EXPECT_EQ(thumbnails().size(), static_cast<qsizetype>(std::size(cases)));
}

TEST_F(ImportTest, FilesThatCannotBeImportedFailOnceAndLeaveNothingWhateverTheServiceSays) {
    service.setReply(504, ScriptedReply::drop());
    const QString vanished = source(QStringLiteral("clip_320x180.mp4"), QStringLiteral("vanished.mp4"));
    ASSERT_TRUE(QFile::remove(vanished));
    const auto made = [&](const QString& name, const QByteArray& bytes) {
        QFile file(sources.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    const QStringList refused = {source(QStringLiteral("audio_only.mp4")),
                                 source(QStringLiteral("truncated.mp4")),
                                 vanished,
                                 made(QStringLiteral("notes.mp4"), "This is a text file, not a video.\n"),
                                 made(QStringLiteral("empty.mp4"), QByteArray()),
                                 made(QStringLiteral("zeros.mp4"), QByteArray(20 * 1024 * 1024, '\0'))};
    for (const QString& path : refused) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(import(path).status, ImportVideoStatus::failure);
        EXPECT_EQ(import(path, false).status, ImportVideoStatus::failure);
    }
    EXPECT_EQ(import(QUrl(QStringLiteral("http://127.0.0.1:9/clip.mp4"))).status, ImportVideoStatus::failure);
    EXPECT_EQ(import(QUrl::fromLocalFile(sources.path() + QLatin1Char('/'))).status, ImportVideoStatus::failure);
    EXPECT_EQ(import(QUrl()).status, ImportVideoStatus::failure);

    // The service answers for every sign, as a lying or confused one would: still no file is taken.
    service.setReply(504, ScriptedReply::encrypted(serviceRecordReply(QStringLiteral("x"))));
    for (const QString& path : refused) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(import(path).status, ImportVideoStatus::failure);
    }
    EXPECT_TRUE(entries(downloadDirectory()).isEmpty());
    EXPECT_TRUE(thumbnails().isEmpty());
    EXPECT_TRUE(LocalVideoDBManager::shared().allVideos().empty());

    // A real video takes the record, with the file's own size in place of the service's.
    const QString clip = source(QStringLiteral("clip_320x180.mp4"));
    const auto row = imported(clip);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->title, QStringLiteral("Harbour at dusk"));
    EXPECT_EQ(row->size, QFileInfo(clip).size());
}

TEST_F(ImportTest, FailedCopyGivesFailureAndNoRow) {
    // "DownloadVideo" cannot be a directory: every copy into it fails.
    const QString directory = QDir(AppInfo::applicationSupport()).filePath(QStringLiteral("DownloadVideo"));
    // The model's sweep at start makes the folder again: let it end before the folder goes.
    library.reset();
    QDir(directory).removeRecursively();
    {
        QFile blocker(directory);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    library = std::make_unique<LocalLibraryModel>(*web, LocalVideoDBManager::shared());
    service.setReply(504, ScriptedReply::encrypted(serviceRecordReply(QStringLiteral("x"))));
    testing::internal::CaptureStdout();
    const Outcome online = import(source(QStringLiteral("clip_320x180.mp4")));
    const Outcome local = import(source(QStringLiteral("clip_1280x720.mp4")), false);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(online.status, ImportVideoStatus::failure);
    EXPECT_EQ(local.status, ImportVideoStatus::failure);
    EXPECT_NE(log.find("copy error "), std::string::npos) << log;
    EXPECT_TRUE(LocalVideoDBManager::shared().allVideos().empty());
    EXPECT_TRUE(thumbnails().isEmpty());  // the local record's thumbnail went with it
}

TEST_F(ImportTest, RotatedClipGetsAnUprightThumbnail) {
    const QString path = source(QStringLiteral("rotated_90.mp4"));
    const auto row = imported(path, false);
    ASSERT_TRUE(row);
    const QImage png(QUrl(row->imgurl).toLocalFile());
    const QImage upright = importtest::ffmpegFrame(path, 0);
    ASSERT_EQ(png.size(), QSize(180, 320));
    EXPECT_EQ(importtest::dominantColour(png, 90, 20), importtest::dominantColour(upright, 90, 20));
    EXPECT_EQ(importtest::dominantColour(png, 90, 300), importtest::dominantColour(upright, 90, 300));
}

TEST_F(ImportTest, EveryCallOfABatchReportsOnce) {
    // Started together, as a batch that does not wait would: each file still reports once.
    service.setReply(504, ScriptedReply::drop().delayed(200));
    const QStringList files = {source(QStringLiteral("clip_320x180.mp4")), source(QStringLiteral("audio_only.mp4")),
                               source(QStringLiteral("clip_12_7s.mp4")), sources.filePath(QStringLiteral("none.mp4")),
                               source(QStringLiteral("clip_320x180.mp4"), QStringLiteral("same.mp4"))};
    QMap<QString, QList<ImportVideoStatus>> results;
    for (const QString& file : files)
        library->importVideo(
            QUrl::fromLocalFile(file), true,
            [&results, file](const QString&, ImportVideoStatus status) { results[file].append(status); });
    QElapsedTimer timer;
    timer.start();
    while (results.size() < files.size() && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    while (timer.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(results.size(), files.size());
    for (const QString& file : files)
        EXPECT_EQ(results[file].size(), 1) << file.toStdString();
    EXPECT_EQ(results[files[1]].first(), ImportVideoStatus::failure);
    EXPECT_EQ(results[files[2]].first(), ImportVideoStatus::complete);
    EXPECT_EQ(results[files[3]].first(), ImportVideoStatus::failure);
    // The same video twice at once: one is stored, the other finds it there; one copy stays.
    QList<ImportVideoStatus> twins = {results[files[0]].first(), results[files[4]].first()};
    std::sort(twins.begin(), twins.end());
    EXPECT_EQ(twins, (QList<ImportVideoStatus>{ImportVideoStatus::complete, ImportVideoStatus::isExist}));
    EXPECT_EQ(entries(downloadDirectory()).size(), 2);
    EXPECT_EQ(thumbnails().size(), 2);
    EXPECT_EQ(LocalVideoDBManager::shared().allVideos().size(), 2u);
}

}  // namespace

TEST_F(ImportTest, ACopyLeftByAKilledImportIsReusedNotCopiedAgain) {
    service.setReply(504, ScriptedReply::drop());
    struct Case {
        const char* leftover;  // what lies under the copy's name
        bool reused;
    } const cases[] = {{"clip_320x180.mp4", true}, {"clip_1280x720.mp4", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.leftover);
        QDir(downloadDirectory()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(downloadDirectory()));
        const QString there = QDir(downloadDirectory()).filePath(QStringLiteral("Aurora.mp4"));
        ASSERT_TRUE(QFile::copy(testVideo(c.leftover), there));
        const auto row = imported(source(QStringLiteral("clip_320x180.mp4"), QStringLiteral("Aurora.mp4")));
        ASSERT_TRUE(row);
        EXPECT_EQ(QUrl(row->url).toLocalFile() == there, c.reused);
        // One file per video: the leftover of this video is the copy; another video's stays.
        EXPECT_EQ(entries(downloadDirectory()).size(), c.reused ? 1 : 2);
        LocalVideoDBManager::shared().deleteVideoWithSign(row->sign);
    }
}

// A start ends the removals that a kill cut short between their commit and their files, and
// sweeps the thumbnails no row names; but it leaves what a row names, what a running import
// holds, a thumbnail written within the hour, and everything while another connection holds the
// library (its rows cannot be read).
TEST_F(ImportTest, AStartEndsRemovalsCutShortAndSweepsOldThumbnailsThatNoRowNames) {
    library.reset();  // its own start's sweep is over
    const QDir support(AppInfo::applicationSupport());
    const struct Case {
        const char* name;
        int hoursAgo;
        bool named;
        bool held;   // by an import of another program, whose row is not in yet
        bool noted;  // in the note of a removal cut short
        bool stays;
    } cases[] = {
        {"Unnamed123.png", 2, false, false, false, false},
        {"Fresh12345.png", 0, false, false, false, true},
        {"Named12345.png", 2, true, false, false, true},
        {"Held123456.png", 2, false, true, false, true},
        {"Named1234.png", 2, false, false, false, true},
        {"DownloadVideo/gone.mp4", 0, false, false, true, false},
        {"DownloadVideo/back.mp4", 0, true, false, true, true},
        {"DownloadVideo/kept.mp4", 0, false, false, false, true},
        {"DownloadVideo/held.mp4", 0, false, true, true, true},
    };
    const QString note = QStringLiteral(".removing-Cut5hort12");
    const QString noteCutShort = note + QStringLiteral(".Ab12Cd");
    for (const bool libraryHeld : {true, false}) {
        SCOPED_TRACE(libraryHeld ? "library held" : "library free");
        std::vector<std::unique_ptr<QFile>> files;
        QByteArray noted;
        for (const Case& c : cases) {
            files.push_back(std::make_unique<QFile>(support.filePath(QString::fromLatin1(c.name))));
            QFile& file = *files.back();
            ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.write("png") == 3 && file.flush() &&
                        file.setFileTime(QDateTime::currentDateTime().addSecs(-3600 * c.hoursAgo),
                                         QFileDevice::FileModificationTime));
            if (c.held)
                ASSERT_EQ(::flock(file.handle(), LOCK_EX), 0);
            else
                file.close();
            VideoDetail row;
            row.sign = QString::fromLatin1(c.name);
            row.url = row.imgurl = QUrl::fromLocalFile(file.fileName()).toString();
            if (c.named)
                LocalVideoDBManager::shared().insertVideo(row);
            if (c.noted)
                noted += QUrl::fromLocalFile(file.fileName()).toEncoded() + '\n';
        }
        for (const QString& name : {note, noteCutShort}) {
            QFile list(support.filePath(name));
            ASSERT_TRUE(list.open(QIODevice::WriteOnly) && list.write(noted) == noted.size());
        }
        {
            std::optional<testsupport::WriteLock> lock;
            if (libraryHeld)
                lock.emplace();
            LocalLibraryModel starting(*web, LocalVideoDBManager::shared());  // waits for its first work
        }
        for (const Case& c : cases)
            EXPECT_EQ(support.exists(QString::fromLatin1(c.name)), c.stays || libraryHeld) << c.name;
        // The held file is still to go.
        EXPECT_TRUE(support.exists(note));
        EXPECT_EQ(support.exists(noteCutShort), libraryHeld);
    }
}

TEST_F(ImportTest, AServiceReplyThatNeverEndsGivesWayToTheFilesOwnRecord) {
    service.setReply(504, ScriptedReply::trickle());
    const QString path = source(QStringLiteral("clip_320x180.mp4"), QStringLiteral("Slow Harbour.mp4"));
    QElapsedTimer took;
    took.start();
    ASSERT_EQ(import(path).status, ImportVideoStatus::complete);
    EXPECT_GE(took.elapsed(), WebModel::kRequestDeadlineMs - 100);  // the reply was waited for, then dropped
    const auto row = LocalVideoDBManager::shared().videoWithSign(*videoSign(path));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->title, QStringLiteral("Slow Harbour"));
    EXPECT_EQ(row->width, 320);
}

TEST_F(ImportTest, AServiceSilentPastItsTimeOutIsNotAskedForTheNextFileButAFailingOneIs) {
    struct Case {
        const char* name;
        ScriptedReply reply;
        bool askedAgain;
    } const cases[] = {
        {"no answer", ScriptedReply::stall(), false},
        {"connection closed at once", ScriptedReply::drop(), true},
        {"an error page", ScriptedReply::raw("<html>busy</html>", 503), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        library = std::make_unique<LocalLibraryModel>(*web, LocalVideoDBManager::shared());  // forgets the silence
        LocalVideoDBManager::shared().deleteAllVideos();
        service.setReply(504, c.reply);
        ASSERT_TRUE(imported(source(QStringLiteral("clip_320x180.mp4"))));
        const int afterFirst = service.requestCount();
        ASSERT_TRUE(imported(source(QStringLiteral("clip_1280x720.mp4"))));  // with its own record either way
        EXPECT_EQ(service.requestCount() > afterFirst, c.askedAgain);
    }
}
