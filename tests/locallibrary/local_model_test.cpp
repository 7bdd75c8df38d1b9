// The local tab's model on the real list widget, database and files: reload order, the playing
// video, the menus, remove and clear all, where they may and may not touch files, and what they
// do while another connection holds the database.
#include <gtest/gtest.h>

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>

#include <linux/capability.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "MainWindow/locallibrary/ImportBatch.h"
#include "MainWindow/locallibrary/LocalLibraryViewModel.h"
#include "MainWindow/library/WQCollectionView.h"
#include "platform/DistributedNotificationCenter.h"
#include "service/LocalLibraryModel.h"
#include "shared/AppInfo.h"
#include "shared/LocalVideoDBManager.h"
#include "shared/Preferences.h"
#include "support/DatabaseLock.h"
#include "support/MainWindowTestSupport.h"
#include "support/ProcessHelpers.h"

using testsupport::librarySigns;
using testsupport::writeFile;

namespace {

QString videoFolder() {
    return LocalLibraryModel::downloadVideoDirectory().toLocalFile();
}

void addRow(const QString& sign, const QString& urlText, const QString& preurl = {}, const QString& imgurl = {}) {
    VideoDetail video = testsupport::video(sign, sign, imgurl);
    video.url = urlText;
    video.preurl = preurl;
    LocalVideoDBManager::shared().insertVideo(video);
}

QString fileUrl(const QString& path) {
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

// A thumbnail as an import writes it, last written `hoursAgo` hours ago.
QString thumbnail(const char* name, int hoursAgo = 0) {
    const QString path = writeFile(AppInfo::applicationSupport() + QLatin1Char('/') + QLatin1String(name));
    QFile file(path);
    EXPECT_TRUE(
        file.open(QIODevice::ReadWrite) &&
        file.setFileTime(QDateTime::currentDateTime().addSecs(-3600 * hoursAgo), QFileDevice::FileModificationTime));
    return path;
}

void dropFileOverridesOfThisThread() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    syscall(SYS_capget, &header, data);
    for (int cap : {CAP_DAC_OVERRIDE, CAP_FOWNER})
        data[cap / 32].effective &= ~(1u << (cap % 32));
    syscall(SYS_capset, &header, data);
}

// Without the power to override file permissions (root has it), a read-only folder really
// refuses to give up its files. Capabilities belong to a thread: the removals' worker, made by an
// earlier test of this process, loses them too.
void dropFileOverrides() {
    dropFileOverridesOfThisThread();
    // Shared: a task that comes after a failed wait still has its flag.
    auto dropped = std::make_shared<std::atomic_bool>(false);
    ImportBatch::runAfterBatches([dropped] {
        dropFileOverridesOfThisThread();
        *dropped = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return dropped->load(); }, 15000));
}

class LocalModelTest : public testing::Test {
protected:
    void SetUp() override {
        testsupport::emptyLibrary();
        // Only this test's own notices count.
        ASSERT_TRUE(testsupport::settleBusNotifications());
        list.resize(600, 400);
        model.bind(&list);
        updates = platform::DistributedNotificationCenter::defaultCenter().addObserver(
            QStringLiteral("UpdateVideoList"), nullptr, [this] { ++updateCount; });
        QObject::connect(&list, &WQCollectionView::menuShown, &list, [this](QMenu* menu) { lastMenu = menu; });
        QObject::connect(&model, &LocalLibraryViewModel::removalEnded, &list, [this] { ++removals; });
    }
    void settle() { QTest::qWait(50); }
    void reload() {
        model.reloadVideos(true);
        settle();
    }

    // The titles of the menu a right click on `row` (none: the empty area) brings up.
    QStringList rightClick(std::optional<int> row) {
        lastMenu = nullptr;
        model.didRightClickItem(row, QPoint(10, 10));
        QStringList titles;
        if (lastMenu)
            for (QAction* action : lastMenu->actions())
                titles << action->text();
        return titles;
    }
    void choose(const QString& title) {
        ASSERT_TRUE(lastMenu);
        for (QAction* action : lastMenu->actions())
            if (action->text() == title)
                action->trigger();
        lastMenu->close();
    }
    int rowOf(const QString& sign) { return int(librarySigns().indexOf(sign)); }
    // Removals and clears end on the worker; this waits for the `count`th outcome to be shown.
    bool removalsEnded(int count) {
        return QTest::qWaitFor([&] { return removals >= count; }, 15000) && removals == count;
    }

    WQCollectionView list;
    LocalLibraryViewModel model{MainParts::make()};
    QMenu* lastMenu = nullptr;
    int updateCount = 0;
    int removals = 0;
    DisposablePtr updates;
    QTemporaryDir elsewhere;
};

}  // namespace

TEST_F(LocalModelTest, ReloadMarksThePlayingVideoAndTheEmptyList) {
    Preferences& settings = Preferences::shared();
    reload();
    EXPECT_EQ(list.containerImage(), QStringLiteral("empty_video_list"));

    for (const char* sign : {"a", "b", "c"})
        addRow(QString::fromLatin1(sign), fileUrl(writeFile(videoFolder() + "/" + sign + ".mp4")));
    settings.setPlayingVideoSign(QStringLiteral("c"));
    struct Case {
        bool open;
        std::vector<int> selected;
    };
    for (const Case& c : {Case{true, {2}}, Case{false, {0}}}) {
        settings.setIsOpenPlayer(c.open);
        reload();
        EXPECT_TRUE(list.containerImage().isEmpty());
        EXPECT_EQ(list.selectedRows(), c.selected);
    }

    // Menus are built at each click; "Preview Video" only with a preview page.
    const QString manager = QStringLiteral("Show in File Manager");
    EXPECT_EQ(rightClick(0), QStringList({"Set as Wallpaper", "Remove", manager}));
    EXPECT_EQ(rightClick(std::nullopt), QStringList({"Import Video", "Open Resource Path", "Clear All"}));
    addRow(QStringLiteral("d"), fileUrl(elsewhere.filePath("d.mp4")), QStringLiteral("https://example.invalid/p d"));
    reload();
    EXPECT_EQ(rightClick(3), QStringList({"Preview Video", "Set as Wallpaper", "Remove", manager}));
    EXPECT_EQ(rightClick(7), QStringList());

    // Set as wallpaper from the menu, and by double click.
    rightClick(3);
    choose(QStringLiteral("Set as Wallpaper"));
    EXPECT_EQ(settings.playingVideoSign(), QStringLiteral("d"));
    EXPECT_TRUE(settings.isOpenPlayer());
    model.didDoubleClickItem(1);
    EXPECT_EQ(settings.playingVideoSign(), QStringLiteral("b"));
}

TEST_F(LocalModelTest, RemoveDeletesOnlyFilesOfTheVideoFolder) {
    const QString inside = writeFile(videoFolder() + "/inside.mp4");
    const QString outside = writeFile(elsewhere.filePath("outside.mp4"));
    const QString sneaky = writeFile(elsewhere.filePath("sneaky.mp4"));
    addRow(QStringLiteral("inside"), fileUrl(inside));
    addRow(QStringLiteral("outside"), fileUrl(outside));
    // A path that starts in the folder but leads out of it.
    addRow(QStringLiteral("sneaky"), fileUrl(videoFolder() + QStringLiteral("/../../../../../../..") + sneaky));
    addRow(QStringLiteral("broken"), QStringLiteral("http://[not a url"));
    // A file in a folder that cannot be changed, and one that cannot be changed itself.
    const QString locked = videoFolder() + QStringLiteral("/locked");
    const QString stuck = writeFile(locked + QStringLiteral("/stuck.mp4"));
    const QString fixed = writeFile(videoFolder() + QStringLiteral("/immutable.mp4"));
    addRow(QStringLiteral("stuck"), fileUrl(stuck));
    addRow(QStringLiteral("immutable"), fileUrl(fixed));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    ASSERT_NO_FATAL_FAILURE(dropFileOverrides());
    // The immutable flag needs the power to set it; without it that row is left out.
    const bool immutable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), fixed}) == 0;
    reload();
    QStringList told;
    model.shell.showRemoveProblem = [&told](const QString& text) { told << text; };

    struct Case {
        const char* sign;
        QString file;  // empty: none
        bool fileGone;
        bool rowGone;
        QString problem;  // what the user is told
    };
    const Case cases[] = {
        {"outside", outside, false, true, {}},
        {"sneaky", sneaky, false, true, {}},
        {"inside", inside, true, true, {}},
        {"broken", {}, false, false, {}},
        {"stuck", stuck, false, false,
         QStringLiteral("The video was not removed: the folder \"%1\" cannot be changed.").arg(locked)},
        {"immutable", fixed, false, false,
         QStringLiteral("The video was not removed: the file \"%1\" cannot be changed.").arg(fixed)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sign);
        if (QLatin1String(c.sign) == QLatin1String("immutable") && !immutable) {
            std::printf("chattr +i refused here: the immutable file is not tried\n");
            continue;
        }
        const int before = updateCount;
        const int ended = removals;
        told.clear();
        ASSERT_FALSE(rightClick(rowOf(QString::fromLatin1(c.sign))).isEmpty());
        choose(QStringLiteral("Remove"));
        // A row without a file URL never reaches the worker.
        if (!c.file.isEmpty()) {
            EXPECT_TRUE(removalsEnded(ended + 1));
            EXPECT_EQ(QFile::exists(c.file), !c.fileGone);
        }
        EXPECT_EQ(told, c.problem.isEmpty() ? QStringList() : QStringList{c.problem});
        EXPECT_EQ(!librarySigns().contains(QString::fromLatin1(c.sign)), c.rowGone);
        EXPECT_TRUE(QTest::qWaitFor([&] { return updateCount == before + (c.rowGone ? 1 : 0); }, 3000));
        QTest::qWait(c.rowGone ? 0 : 300);
        EXPECT_EQ(updateCount, before + (c.rowGone ? 1 : 0));
    }
    settle();
    // broken, stuck and immutable stay, whether the immutable one was tried or not.
    EXPECT_EQ(model.videoCount(), 3);
    QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), fixed});
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(LocalModelTest, ClearAllTriesEveryFileKeepsTheRowsOfFilesThatStayAndTellsThePlayer) {
    const QString first = writeFile(videoFolder() + "/first.mp4");
    const QString stuck = writeFile(videoFolder() + "/locked/stuck.mp4");
    const QString last = writeFile(videoFolder() + "/last.mp4");
    const QString outside = writeFile(elsewhere.filePath("mine.mp4"));
    // Files no row names: held by a running import or download of another program (its row is
    // on its way in), left by one that was killed, and the temporaries of both kinds.
    const QString live = writeFile(videoFolder() + "/live.mp4");
    const QString dead = writeFile(videoFolder() + "/dead.mp4");
    const QString leftover = writeFile(videoFolder() + "/.import-Kd8s2P");
    const QString running = writeFile(videoFolder() + "/.import-Run9Zq");
    std::vector<std::unique_ptr<QFile>> holders;
    for (const QString& held : {running, live}) {
        holders.push_back(std::make_unique<QFile>(held));
        ASSERT_TRUE(holders.back()->open(QIODevice::ReadWrite) && ::flock(holders.back()->handle(), LOCK_EX) == 0);
    }
    // Thumbnails: of a row that goes, of the row that stays, none named (an hour old, and just
    // written by an import whose row is not in yet), and a file that is none.
    const QString firstPicture = thumbnail("Fir5tPictu.png");
    const QString stuckPicture = thumbnail("StuckPictu.png", 2);
    const QString unnamed = thumbnail("Unnamed123.png", 2);
    const QString fresh = thumbnail("Fresh12345.png");
    const QString other = thumbnail("notathumbnail.png", 2);
    addRow(QStringLiteral("first"), fileUrl(first), {}, fileUrl(firstPicture));
    addRow(QStringLiteral("stuck"), fileUrl(stuck), {}, fileUrl(stuckPicture));
    addRow(QStringLiteral("last"), fileUrl(last));
    addRow(QStringLiteral("mine"), fileUrl(outside));
    // A second row of the locked file's sign names another file: the sign stays with the
    // locked file, so that other file stays for its row.
    const QString twin = QStringLiteral("insert into LocalVideos (sign, title, url) values ('stuck', 'twin', '%1')")
                             .arg(fileUrl(last));
    ASSERT_TRUE(
        testsupport::runSql(LocalVideoDBManager::shared().databasePath(), twin.toUtf8().constData()).has_value());
    const QString locked = videoFolder() + "/locked";
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
    ASSERT_NO_FATAL_FAILURE(dropFileOverrides());
    reload();

    bool ok = false;
    model.shell.confirmClearAll = [&](std::function<void(bool)> answer) { answer(ok); };
    // "Cancel" changes nothing.
    rightClick(std::nullopt);
    choose(QStringLiteral("Clear All"));
    EXPECT_EQ(librarySigns(), QStringList({"first", "stuck", "last", "mine", "stuck"}));
    EXPECT_TRUE(QFile::exists(first));

    ok = true;
    // "OK": the locked file stays with its rows; the user's own file outside the folder stays,
    // its row goes.
    rightClick(std::nullopt);
    choose(QStringLiteral("Clear All"));
    ASSERT_TRUE(removalsEnded(1));
    const struct {
        QString path;
        bool stays;
    } files[] = {{first, false},   {last, true},  {leftover, false}, {running, true},       {stuck, true},
                 {outside, true},  {live, true},  {dead, false},     {firstPicture, false}, {stuckPicture, true},
                 {unnamed, false}, {fresh, true}, {other, true}};
    for (const auto& file : files)
        EXPECT_EQ(QFile::exists(file.path), file.stays) << file.path.toStdString();
    EXPECT_EQ(librarySigns(), QStringList({"stuck", "stuck"}));
    // Every file it meant to remove is gone: no note is left for the next start.
    EXPECT_EQ(QDir(AppInfo::applicationSupport()).entryList({".removing-*"}, QDir::Files | QDir::Hidden),
              QStringList());
    EXPECT_TRUE(QTest::qWaitFor([&] { return updateCount == 1; }, 3000));
    settle();
    EXPECT_EQ(model.videoCount(), 2);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const QString& picture : {stuckPicture, fresh, other})
        QFile::remove(picture);
}

// A video's file removed by hand and another imported under the free name: both rows name one
// file, which goes with the last row that names it, however that row spells the path.
TEST_F(LocalModelTest, RemoveLeavesTheFileWhileAnotherRowNamesIt) {
    const QString file = writeFile(videoFolder() + "/clip.mp4");
    // Their thumbnail, too, goes with the last row that names it.
    const QString picture = thumbnail("Shared1234.png");
    addRow(QStringLiteral("dead"), fileUrl(file), {}, fileUrl(picture));
    addRow(QStringLiteral("living"), fileUrl(file), {}, fileUrl(picture));
    ASSERT_TRUE(QDir().mkpath(videoFolder() + "/elsewhere"));
    addRow(QStringLiteral("spelled"), fileUrl(videoFolder() + "/./elsewhere/../clip.mp4"), {},
           fileUrl(QFileInfo(picture).absolutePath() + "/DownloadVideo/../Shared1234.png"));
    reload();
    const struct Step {
        const char* sign;
        bool fileStays;
    } steps[] = {{"dead", true}, {"living", true}, {"spelled", false}};
    int ended = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.sign);
        ASSERT_FALSE(rightClick(rowOf(QString::fromLatin1(step.sign))).isEmpty());
        choose(QStringLiteral("Remove"));
        ASSERT_TRUE(removalsEnded(++ended));
        EXPECT_FALSE(librarySigns().contains(QString::fromLatin1(step.sign)));
        EXPECT_EQ(QFile::exists(file), step.fileStays);
        EXPECT_EQ(QFile::exists(picture), step.fileStays);
        settle();
    }
}

TEST_F(LocalModelTest, ARemovalKeepsTheScrollPositionAndAReloadStartsAtTheTop) {
    static ColumnLayout grid;  // outlives the fixture's list
    grid.columnCount = 4;
    grid.itemHeight = 110;
    list.setCollectionViewLayout(&grid);
    ASSERT_TRUE(testsupport::showExposed(&list, QSize(600, 400)));
    for (int i = 0; i < 40; ++i)
        addRow(QStringLiteral("r%1").arg(i), fileUrl(elsewhere.filePath(QStringLiteral("r%1.mp4").arg(i))));
    model.reloadVideos(true);
    testsupport::drain();
    list.setContentOffset(500);
    rightClick(30);
    choose(QStringLiteral("Remove"));
    ASSERT_TRUE(removalsEnded(1));
    testsupport::drain();
    EXPECT_FALSE(librarySigns().contains(QStringLiteral("r30")));
    EXPECT_EQ(model.videoCount(), 39);
    EXPECT_EQ(list.contentOffset(), 500);  // the user stays where the removed video was
    model.reloadVideos(true);
    testsupport::drain();
    EXPECT_EQ(list.contentOffset(), 0);
    list.setCollectionViewLayout(nullptr);
}

TEST_F(LocalModelTest, WhileAnotherConnectionHoldsTheFileRemovalsKeepRowAndFileAndSaySo) {
    QStringList told;
    model.shell.showRemoveProblem = [&told](const QString& text) { told << text; };
    model.shell.confirmClearAll = [](std::function<void(bool)> answer) { answer(true); };
    const QString held = QStringLiteral("another program is using the video library. Try again in a moment.");
    struct Case {
        const char* action;
        const char* begin;  // how the other connection holds the file
        QString problem;
    };
    const Case cases[] = {
        {"Remove", "BEGIN EXCLUSIVE;", QStringLiteral("The video was not removed: ") + held},
        {"Remove", "BEGIN IMMEDIATE;", QStringLiteral("The video was not removed: ") + held},
        {"Clear All", "BEGIN EXCLUSIVE;", QStringLiteral("The videos were not removed: ") + held},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.action) + " " + c.begin);
        const QString file = writeFile(videoFolder() + QStringLiteral("/held.mp4"));
        addRow(QStringLiteral("held"), fileUrl(file));
        reload();
        const bool remove = QLatin1String(c.action) == QLatin1String("Remove");
        const std::optional<int> row = remove ? std::optional<int>(rowOf(QStringLiteral("held"))) : std::nullopt;
        const int updatesBefore = updateCount;
        for (const bool locked : {true, false}) {
            std::optional<testsupport::WriteLock> lock;
            if (locked) {
                lock.emplace(c.begin);
                ASSERT_TRUE(lock->held);
            }
            told.clear();
            const int ended = removals;
            ASSERT_FALSE(rightClick(row).isEmpty());
            QElapsedTimer clock;
            clock.start();
            choose(QString::fromLatin1(c.action));
            EXPECT_LT(clock.elapsed(), 100);  // the busy wait alone takes 3 s
            ASSERT_TRUE(removalsEnded(ended + 1));
            if (lock)
                lock->release();
            EXPECT_EQ(told, locked ? QStringList{c.problem} : QStringList());
            EXPECT_EQ(QFile::exists(file), locked);
            EXPECT_EQ(librarySigns().contains(QStringLiteral("held")), locked);
        }
        // Only the removal that happened was announced.
        EXPECT_TRUE(QTest::qWaitFor([&] { return updateCount == updatesBefore + 1; }, 3000));
        QTest::qWait(100);
        EXPECT_EQ(updateCount, updatesBefore + 1);
    }
}
