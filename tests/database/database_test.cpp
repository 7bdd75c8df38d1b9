// The local video database: placing the template, the five statements and their log lines,
// the reading rules, and the mended faults (64-bit reads, failed copies, threads).
#include "DatabaseTestSupport.h"
#include "platform/Bundle.h"
#include "shared/AppInfo.h"
#include "shared/LocalVideoDBManager.h"
#include "support/DatabaseLock.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <optional>
#include <thread>

using dbtest::rawCount;
using dbtest::rawExec;
using dbtest::StdoutCapture;
using dbtest::video;

namespace {
QJsonObject json(const VideoDetail& v) {
    return v.toJsonObject();
}
}  // namespace

TEST(LocalVideoDB, FirstUseCopiesTheTemplateAndLogsThePath) {
    const QString path = AppInfo::applicationSupport() + QStringLiteral("/Tavvel.db");
    ASSERT_FALSE(QFileInfo::exists(path));
    StdoutCapture out;
    LocalVideoDBManager& db = LocalVideoDBManager::shared();
    ASSERT_TRUE(db.isOpen());  // the main program's check at start runs on a thread of its own
    EXPECT_EQ(out.lines(), QStringList{path});
    EXPECT_EQ(db.databasePath(), path);
    EXPECT_EQ(&db, &LocalVideoDBManager::shared());
    ASSERT_TRUE(QFileInfo::exists(path));
    EXPECT_TRUE(QFileInfo(path).permissions() & QFileDevice::WriteOwner);  // resources copy read-only

    QStringList columns;
    ASSERT_TRUE(rawExec(path, "pragma table_info(LocalVideos)", [&](sqlite3_stmt* s) {
        columns << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 1)));
    }));
    EXPECT_EQ(columns, QStringLiteral("vid sign preurl title url description time size imgurl imgsize tags ratio "
                                      "width height frame rate audio uptime down view author avatar avatarsize hp "
                                      "upcount state")
                           .split(QLatin1Char(' ')));
    EXPECT_TRUE(db.allVideos().empty());
    EXPECT_FALSE(db.videoWithSign(QStringLiteral("nothing")));
}

TEST(LocalVideoDB, InsertListLookUpAndDeleteWithTheirLogLines) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tavvel.db"));
    LocalVideoDBManager db(path);

    {
        StdoutCapture out;
        db.insertVideo(video("s1", 1));
        db.insertVideo(video("s2", 2));
        db.insertVideo(video("s1", 99));  // a known sign: nothing happens, nothing is logged
        EXPECT_EQ(out.lines(), (QStringList{"insert true", "insert true"}));
    }
    EXPECT_EQ(rawCount(path), 2);
    qint64 states = 0;
    rawExec(path, "select sum(state) from LocalVideos where state = 1",
            [&](sqlite3_stmt* s) { states = sqlite3_column_int64(s, 0); });
    EXPECT_EQ(states, 2);

    const auto all = db.allVideos();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(json(all[0]), json(video("s1", 1)));  // every field back, in insertion order
    EXPECT_EQ(json(all[1]), json(video("s2", 2)));
    const auto found = db.videoWithSign(QStringLiteral("s2"));
    ASSERT_TRUE(found);
    EXPECT_EQ(json(*found), json(video("s2", 2)));
    EXPECT_FALSE(db.videoWithSign(QStringLiteral("S2")));

    {
        StdoutCapture out;
        db.deleteVideoWithSign(QStringLiteral("s1"));
        db.deleteVideoWithSign(QStringLiteral("missing"));  // no row: still true, nothing changes
        EXPECT_EQ(out.lines(), (QStringList{"delete s1 true", "delete missing true"}));
    }
    EXPECT_EQ(rawCount(path), 1);
    {
        StdoutCapture out;
        db.deleteAllVideos();
        EXPECT_EQ(out.lines(), QStringList{"delete all true"});
    }
    EXPECT_EQ(rawCount(path), 0);
    EXPECT_TRUE(db.allVideos().empty());
}

TEST(LocalVideoDB, ReadingRules) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tavvel.db"));
    LocalVideoDBManager db(path);
    // Rows written outside the manager: NULL texts and integers, and two rows with one sign.
    ASSERT_TRUE(rawExec(path, "insert into LocalVideos (vid, sign, title, size) values (1, 'dup', 'first', NULL)"));
    ASSERT_TRUE(rawExec(path, "insert into LocalVideos (vid, sign, title, size, state) values (2, 'dup', NULL, 7, 1)"));
    ASSERT_TRUE(rawExec(path, "insert into LocalVideos (vid, sign, size) values (3, 'big', 4294967296)"));

    const auto dup = db.videoWithSign(QStringLiteral("dup"));
    ASSERT_TRUE(dup);
    EXPECT_EQ(dup->id, 2);  // the last row wins
    EXPECT_EQ(dup->title, QString());
    EXPECT_EQ(dup->url, QString());
    EXPECT_EQ(dup->size, 7);
    const auto all = db.allVideos();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].title, QStringLiteral("first"));
    EXPECT_EQ(all[0].size, 0);           // NULL integer
    EXPECT_EQ(all[2].size, 4294967296);  // read as 64 bits, not truncated to 0

    // A second insert of a sign that has rows adds nothing.
    db.insertVideo(video("dup"));
    EXPECT_EQ(rawCount(path), 3);
}

TEST(LocalVideoDB, LargeValuesSurviveARoundTrip) {
    QTemporaryDir dir;
    LocalVideoDBManager db(dir.filePath(QStringLiteral("Tavvel.db")));
    VideoDetail v = video("huge");
    v.size = 3000000000;  // a file of more than 2 GiB
    v.time = std::numeric_limits<qint64>::max();
    v.id = std::numeric_limits<qint64>::min();
    v.title = QStringLiteral("Ünïcode ✓ 'quoted' \"double\"");
    db.insertVideo(v);
    const auto back = db.videoWithSign(QStringLiteral("huge"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size, 3000000000);
    EXPECT_EQ(json(*back), json(v));
}

TEST(LocalVideoDB, FailedCopyLeavesNoDatabaseAndTheNextStartRetries) {
    QTemporaryDir dir;
    // A plain file where the directory should be makes the copy fail (even for root).
    const QString blocker = dir.filePath(QStringLiteral("Application Support"));
    {
        QFile f(blocker);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString path = blocker + QStringLiteral("/Tavvel.db");
    {
        StdoutCapture out;
        LocalVideoDBManager db(path);
        db.insertVideo(video("x"));
        db.deleteVideoWithSign(QStringLiteral("x"));
        db.deleteAllVideos();
        EXPECT_TRUE(db.allVideos().empty());
        EXPECT_FALSE(db.videoWithSign(QStringLiteral("x")));
        EXPECT_FALSE(db.isOpen());
        const QStringList lines = out.lines();
        ASSERT_EQ(lines.size(), 6);
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("copy error "))) << lines[0].toStdString();
        EXPECT_EQ(lines.mid(1),
                  (QStringList{path, "db open failure", "insert false", "delete x false", "delete all false"}));
    }
    EXPECT_FALSE(QFileInfo::exists(path));

    // The next start, with the obstacle gone, copies the template and works.
    ASSERT_TRUE(QFile::remove(blocker));
    ASSERT_TRUE(QDir().mkpath(blocker));
    LocalVideoDBManager db(path);
    EXPECT_TRUE(db.isOpen());
    db.insertVideo(video("x"));
    EXPECT_TRUE(db.videoWithSign(QStringLiteral("x")));
}

TEST(LocalVideoDB, ExistingFileIsKeptAndAFileThatIsNoDatabaseFailsQuietly) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tavvel.db"));
    {
        LocalVideoDBManager first(path);
        first.insertVideo(video("kept"));
    }
    {
        LocalVideoDBManager second(path);  // no new copy over the existing library
        EXPECT_TRUE(second.videoWithSign(QStringLiteral("kept")));
    }

    const QString junk = dir.filePath(QStringLiteral("junk.db"));
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    // The desktop player leaves a file that is no database where it is, and fails quietly.
    StdoutCapture out;
    LocalVideoDBManager db(junk, LocalVideoDBManager::BrokenFile::leave);
    db.insertVideo(video("y"));
    EXPECT_TRUE(db.allVideos().empty());
    EXPECT_FALSE(db.setAsidePath());
    EXPECT_EQ(out.lines(), (QStringList{junk, "insert false"}));
}

// A file that is no library is set aside whole by the main program, which starts a fresh one;
// the desktop player, open on the broken file before, follows the path to the new one.
TEST(LocalVideoDB, BrokenFileIsSetAsideAndAFreshLibraryTakesItsPlace) {
    const struct Case {
        const char* name;
        std::optional<QByteArray> content;  // none: a folder with a file in it
    } cases[] = {{"empty file", QByteArray()}, {"garbage", QByteArray(8192, 'Z')}, {"folder", std::nullopt}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tavvel.db"));
        QFile file(path);
        ASSERT_TRUE(c.content ? file.open(QIODevice::WriteOnly) && file.write(*c.content) == c.content->size()
                              : QDir().mkpath(path + QStringLiteral("/inside")));
        file.close();
        LocalVideoDBManager player(path, LocalVideoDBManager::BrokenFile::leave);
        LocalVideoDBManager main(path);
        EXPECT_FALSE(player.setAsidePath());
        ASSERT_TRUE(main.setAsidePath());
        const QString aside = *main.setAsidePath();
        EXPECT_TRUE(QFileInfo(aside).fileName().startsWith(QStringLiteral("Tavvel.db.broken-")));
        // The broken thing is kept as it was, under its new name.
        QFile kept(aside);
        EXPECT_TRUE(c.content ? kept.open(QIODevice::ReadOnly) && kept.readAll() == *c.content
                              : QFileInfo::exists(aside + QStringLiteral("/inside")));
        EXPECT_EQ(main.insertVideo(video("new")), LocalVideoDBManager::InsertResult::inserted);
        EXPECT_TRUE(player.videoWithSign(QStringLiteral("new")));  // followed to the fresh file
        // The next start finds a sound file and sets nothing aside again.
        EXPECT_FALSE(LocalVideoDBManager(path).setAsidePath());
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 2);
    }
}

TEST(LocalVideoDB, TwoConnectionsSeeEachOthersWrites) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tavvel.db"));
    LocalVideoDBManager a(path);
    LocalVideoDBManager b(path);
    a.insertVideo(video("from-a"));
    EXPECT_TRUE(b.videoWithSign(QStringLiteral("from-a")));
    b.insertVideo(video("from-a"));  // already there for b too
    b.deleteVideoWithSign(QStringLiteral("from-a"));
    EXPECT_TRUE(a.allVideos().empty());
}

TEST(LocalVideoDB, CallsFromManyThreadsAreSerialized) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tavvel.db"));
    LocalVideoDBManager db(path);
    StdoutCapture out;  // keeps the many log lines out of the test output
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&db, t] {
            for (int i = 0; i < 40; ++i) {
                // Every thread inserts the same signs: exactly one insert of each may win.
                db.insertVideo(video(QStringLiteral("v%1").arg(i), t));
                db.allVideos();
                db.videoWithSign(QStringLiteral("v%1").arg(i));
            }
        });
    }
    for (auto& th : threads)
        th.join();
    const QStringList lines = out.lines();
    EXPECT_EQ(lines.count(QStringLiteral("insert true")), 40);
    EXPECT_EQ(lines.count(QStringLiteral("insert false")), 0);
    EXPECT_EQ(rawCount(path), 40);
}

TEST(LocalVideoDB, DesktopPlayerNeverInsertsOrDeletesAll) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tavvel.db"));
    LocalVideoDBManager db(path);
    db.insertVideo(video("a"));
    db.insertVideo(video("b"));
    platform::setMainBundle({QStringLiteral("1.0"), QStringLiteral("1"), QStringLiteral("com.zembo.TavvelHelper")});
    {
        StdoutCapture out;
        db.insertVideo(video("c"));
        db.deleteAllVideos();
        db.deleteVideoWithSign(QStringLiteral("a"));  // the player may delete a missing file's row
        const QStringList lines = out.lines();
        ASSERT_EQ(lines.size(), 3);
        EXPECT_FALSE(lines.contains(QStringLiteral("insert true")));
        EXPECT_FALSE(lines.contains(QStringLiteral("delete all true")));
        EXPECT_EQ(lines[2], QStringLiteral("delete a true"));
    }
    EXPECT_EQ(rawCount(path), 1);
    EXPECT_TRUE(db.videoWithSign(QStringLiteral("b")));
    platform::setMainBundle({});
}

// A file that opens as a library is never hidden: the main program adds the columns an older or
// newer program did not have (keeping its own), and carries every row that still reads out of a
// damaged file into a fresh library before it sets the file aside. The desktop player changes
// none of it.
TEST(LocalVideoDB, ALibraryThatStillReadsIsKeptOrItsReadableRowsCarriedOver) {
    // Rows v0..v(n-1), each long enough that a few fill a page.
    auto fill = [](const QString& path, int n) {
        LocalVideoDBManager db(path);
        for (int i = 0; i < n; ++i) {
            VideoDetail v = video(QStringLiteral("v%1").arg(i), i);
            v.description = QString(1200, QLatin1Char('d'));
            db.insertVideo(v);
        }
    };
    const qint64 page = 4096;
    struct Case {
        const char* name;
        std::function<void(const QString& path)> make;
        bool setAside;
        std::optional<int> carried;  // -1: some but not all of the 120 rows
    };
    const Case cases[] = {
        {"older columns and one unknown",
         [](const QString& path) {
             ASSERT_TRUE(testsupport::runSql(path,
                                             "create table LocalVideos (vid integer, sign text, title text, "
                                             "url text, mood text); insert into LocalVideos values "
                                             "(1, 'a', 'A', 'file:///a.mp4', 'calm'), "
                                             "(2, 'b', 'B', 'file:///b.mp4', 'calm');")
                             .has_value());
         },
         false, std::nullopt},
        {"orphan pages left by a crash",
         [&](const QString& path) {
             fill(path, 8);
             ASSERT_TRUE(testsupport::runSql(path,
                                             "create table filler (x); insert into filler "
                                             "values (zeroblob(40000)); drop table filler;")
                             .has_value());
             // The free list forgotten: its pages belong to nothing ("Page N is never used").
             ASSERT_TRUE(testsupport::overwriteBytes(path, 32, QByteArray(8, '\0')));
         },
         true, 8},
        {"a page of rows destroyed",
         [&](const QString& path) {
             fill(path, 120);
             ASSERT_TRUE(testsupport::overwriteBytes(path, 19 * page, QByteArray(page, '\xff')));
         },
         true, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tavvel.db"));
        ASSERT_NO_FATAL_FAILURE(c.make(path));
        const std::optional<QString> check = testsupport::runSql(path, "PRAGMA quick_check");
        EXPECT_EQ(check == QStringLiteral("ok"), !c.setAside) << check.value_or("(failed)").toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        {
            StdoutCapture out;
            const LocalVideoDBManager player(path, LocalVideoDBManager::BrokenFile::leave);
            EXPECT_FALSE(player.setAsidePath());
        }
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), before);  // not a byte changed by the desktop player
        file.close();

        StdoutCapture out;
        LocalVideoDBManager mainProgram(path);
        EXPECT_EQ(mainProgram.setAsidePath().has_value(), c.setAside);
        const std::vector<VideoDetail> rows = mainProgram.allVideos();
        QStringList signs;
        for (const VideoDetail& v : rows)
            signs << v.sign;
        if (!c.setAside) {
            EXPECT_EQ(signs, QStringList({"a", "b"}));
            EXPECT_EQ(testsupport::runSql(path, "select mood from LocalVideos"), QStringLiteral("calm\ncalm"));
            EXPECT_EQ(mainProgram.insertVideo(video("c")), LocalVideoDBManager::InsertResult::inserted);
            EXPECT_EQ(testsupport::runSql(path, "select ifnull(state, 'none') from LocalVideos"),
                      QStringLiteral("none\nnone\n1"));
            EXPECT_EQ(json(*mainProgram.videoWithSign(QStringLiteral("c"))), json(video("c")));
            continue;
        }
        // The damaged file is kept as it was; the new library holds what could be read of it,
        // in its order and with every field.
        QFile aside(*mainProgram.setAsidePath());
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), before);
        ASSERT_TRUE(mainProgram.carriedRows());
        EXPECT_EQ(*mainProgram.carriedRows(), int(rows.size()));
        if (c.carried != -1) {
            EXPECT_EQ(mainProgram.carriedRows(), c.carried);
        } else {
            // Rows before and after the destroyed page.
            EXPECT_GT(rows.size(), 60u);
            EXPECT_LT(rows.size(), 120u);
            EXPECT_EQ(signs.first(), QStringLiteral("v0"));
            EXPECT_EQ(signs.last(), QStringLiteral("v119"));
        }
        int previous = -1;
        for (const VideoDetail& v : rows) {
            const int n = v.sign.mid(1).toInt();
            EXPECT_GT(n, previous);
            previous = n;
            VideoDetail expected = video(v.sign, n);
            expected.description = QString(1200, QLatin1Char('d'));
            EXPECT_EQ(json(v), json(expected));
        }
        EXPECT_EQ(testsupport::runSql(path, "PRAGMA quick_check"), QStringLiteral("ok"));
    }
}

// Damage in two places: the repair reads past both, carries every row a look-up by rowid still
// reads with the columns a newer program added, and says parts could not be read. Until then the
// desktop player takes a list cut short by the damage for no list at all, as a held one.
TEST(LocalVideoDB, RepairReadsPastEveryDamagedRegionAndKeepsNewerColumns) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tavvel.db"));
    StdoutCapture out;
    {
        LocalVideoDBManager db(path);
        for (int i = 0; i < 100; ++i) {
            VideoDetail v = video(QStringLiteral("v%1").arg(i), i);
            v.description = QString(1200, QLatin1Char('d'));
            db.insertVideo(v);
        }
    }
    ASSERT_TRUE(testsupport::runSql(path,
                                    "alter table LocalVideos add column mood text default 'calm'; "
                                    "update LocalVideos set mood = 'm' || vid;")
                    .has_value());
    for (const qint64 page : {8, 20})
        ASSERT_TRUE(testsupport::overwriteBytes(path, page * 4096, QByteArray(4096, '\xff')));
    QStringList readable;
    for (int rowid = 1; rowid <= 100; ++rowid) {
        const QByteArray sql = "select sign from LocalVideos where rowid = " + QByteArray::number(rowid);
        rawExec(path, sql.constData(), [&](sqlite3_stmt* s) {
            readable << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
        });
    }
    ASSERT_GT(readable.size(), 50);
    ASSERT_LT(readable.size(), 100);

    {
        LocalVideoDBManager player(path, LocalVideoDBManager::BrokenFile::leave);
        EXPECT_EQ(player.readAllVideos(true), std::nullopt);
    }
    LocalVideoDBManager mainProgram(path);
    ASSERT_TRUE(mainProgram.setAsidePath());
    EXPECT_EQ(mainProgram.carriedRows(), int(readable.size()));
    EXPECT_TRUE(mainProgram.someRowsUnread());
    QStringList signs;
    for (const VideoDetail& v : mainProgram.allVideos())
        signs << v.sign;
    EXPECT_EQ(signs, readable);
    QStringList moods;
    for (const QString& sign : readable)
        moods << QStringLiteral("m") + sign.mid(1);
    EXPECT_EQ(testsupport::runSql(path, "select mood from LocalVideos order by rowid"), moods.join(QLatin1Char('\n')));
    EXPECT_EQ(mainProgram.readAllVideos(true).value_or(std::vector<VideoDetail>()).size(), size_t(readable.size()));
}

// Columns that could not be added while another program held the file are added before the next
// insert, which then goes in.
TEST(LocalVideoDB, MissingColumnsAreAddedLaterWhenTheFileWasBusy) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tavvel.db"));
    ASSERT_TRUE(testsupport::runSql(path,
                                    "create table LocalVideos (vid integer, sign text, title text, url text); "
                                    "insert into LocalVideos values (1, 'a', 'A', 'file:///a.mp4');")
                    .has_value());
    StdoutCapture out;
    auto lock = std::make_unique<testsupport::WriteLock>("BEGIN IMMEDIATE;", path);
    ASSERT_TRUE(lock->held);
    LocalVideoDBManager db(path);
    lock.reset();
    EXPECT_EQ(db.insertVideo(video("b")), LocalVideoDBManager::InsertResult::inserted);
    EXPECT_EQ(testsupport::runSql(path, "select sign || ifnull(state, '-') from LocalVideos"),
              QStringLiteral("a-\nb1"));
}
