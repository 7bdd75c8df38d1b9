// The library's own writes killed at every file operation: a preloaded shim sends SIGKILL right
// after the Nth rename, renameat2, link, unlink, fsync or write under the library's folder, for
// every N until the step ends on its own. After each kill a normal start must show every row that
// was readable or committed before, once, say nothing else, and leave every listed row's file.
// A removal's files left by a kill after its commit are removed at the next start. A second test
// runs a repair while another program imports.
#include "DatabaseTestSupport.h"
#include "shared/LocalVideoDBManager.h"
#include "support/DatabaseLock.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>

namespace {
const QString kSupport = QStringLiteral("Q7ZK3M8WRT.tavvel/Application Support");

QProcessEnvironment childEnvironment(const QString& data) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), data);
    env.insert(QStringLiteral("TAVVEL_TEST_SHARED_XDG"), QStringLiteral("1"));
    return env;
}

// Runs a child to its end (or its kill); its standard output.
struct ChildRun {
    bool killed = false;
    int exitCode = 0;
    QString out;
};
ChildRun runChild(const QString& program, const QStringList& args, const QProcessEnvironment& env, bool go = false) {
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(program, args);
    if (!child.waitForStarted(10000))
        return {false, -1, QString()};
    if (go)
        child.write("go\n");
    child.closeWriteChannel();
    child.waitForFinished(60000);
    return {child.exitStatus() == QProcess::CrashExit, child.exitCode(),
            QString::fromLocal8Bit(child.readAllStandardOutput() + child.readAllStandardError())};
}

// Rows v0..v(n-1), long enough that a few fill a page, each naming a file of its own.
void fill(const QString& support, int n) {
    QDir().mkpath(support + QStringLiteral("/DownloadVideo"));
    LocalVideoDBManager db(support + QStringLiteral("/Tavvel.db"));
    for (int i = 0; i < n; ++i) {
        VideoDetail v = dbtest::video(QStringLiteral("v%1").arg(i), i);
        v.description = QString(1200, QLatin1Char('d'));
        const QString file = support + QStringLiteral("/DownloadVideo/v%1.mp4").arg(i);
        QFile(file).open(QIODevice::WriteOnly);
        v.url = QUrl::fromLocalFile(file).toString();
        db.insertVideo(v);
    }
}

void copyTree(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QFileInfo& entry : QDir(from).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString target = to + QLatin1Char('/') + entry.fileName();
        if (entry.isDir())
            copyTree(entry.absoluteFilePath(), target);
        else
            QFile::copy(entry.absoluteFilePath(), target);
    }
}

// A child's environment with the kill shim preloaded (it kills nothing until told where).
QProcessEnvironment shimmed(const QString& home, bool noLinks) {
    QProcessEnvironment env = childEnvironment(home);
    env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(KILL_SHIM));
    // A sanitizer build would otherwise refuse to start with a library loaded before its runtime.
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    env.insert(QStringLiteral("TAVVEL_KILL_UNDER"), home);
    if (noLinks)
        env.insert(QStringLiteral("TAVVEL_KILL_NO_LINKS"), QStringLiteral("1"));
    return env;
}

// A copy of the folders; with `relink`, its rows name the copy's files (a sound library only), so
// that a step that removes files removes those the rows name.
void copyLibrary(const QString& from, const QString& to, bool relink) {
    copyTree(from, to);
    const QString sql = QStringLiteral("update LocalVideos set url = replace(url, '%1', '%2');").arg(from, to);
    if (relink) {
        ASSERT_TRUE(testsupport::runSql(to + QLatin1Char('/') + kSupport + QStringLiteral("/Tavvel.db"),
                                        sql.toUtf8().constData()));
    }
}

// The signs of the library, as the desktop player reads them (nothing changed); rows whose file
// is missing are counted.
QStringList signsOf(const QString& support, int* missing) {
    QStringList signs;
    LocalVideoDBManager db(support + QStringLiteral("/Tavvel.db"), LocalVideoDBManager::BrokenFile::leave);
    for (const VideoDetail& v : db.allVideos()) {
        signs << v.sign;
        if (!QFileInfo::exists(QUrl(v.url).toLocalFile()))
            ++*missing;
    }
    return signs;
}
}  // namespace

TEST(KillPoints, EveryKillLeavesALibraryWithEveryRowReadOrCommittedBefore) {
    const QString check = QStringLiteral(LIBRARY_STEP_CHILD);
    struct Step {
        const char* name;
        std::function<void(const QString& support)> make;
        QString program;
        QStringList args;
        bool noLinks = false;
        bool addsOne = false;    // the step's own row may or may not be there after a kill
        bool allOrNone = false;  // after a kill the rows are all there, or as a whole run leaves them
    };
    const QString clip = QDir(QStringLiteral(TAVVEL_TEST_VIDEOS_DIR)).filePath(QStringLiteral("clip_12_7s.mp4"));
    auto damaged = [](const QString& support) {
        fill(support, 30);
        testsupport::overwriteBytes(support + QStringLiteral("/Tavvel.db"), 5 * 4096, QByteArray(4096, '\xff'));
    };
    const Step steps[] = {
        {"start-up repair", damaged, check, {QStringLiteral("check")}},
        {"start-up repair without hard links", damaged, check, {QStringLiteral("check")}, true},
        {"start-up with no library",
         [](const QString& support) {
             QDir().mkpath(support);
             QFile file(support + QStringLiteral("/Tavvel.db"));
             file.open(QIODevice::WriteOnly);
             file.write(QByteArray(8192, 'Z'));
         },
         check,
         {QStringLiteral("check")}},
        {"import",
         [](const QString& support) { fill(support, 5); },
         QStringLiteral(IMPORT_RACE_CHILD),
         {clip},
         false,
         true},
        {"clear all",
         [](const QString& support) { fill(support, 5); },
         QStringLiteral(CLEAR_ALL_CHILD),
         {},
         false,
         false,
         true},
    };
    const char* calls[] = {"rename", "renameat2", "link", "unlink", "fsync", "write"};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        QTemporaryDir pristine;
        step.make(pristine.filePath(kSupport));
        // What a run that is not killed keeps: every row that was readable, or committed, before.
        QStringList before;
        int unused = 0;
        const QStringList pristineSigns = step.allOrNone ? signsOf(pristine.filePath(kSupport), &unused)
                                                         : QStringList();
        {
            QTemporaryDir whole;
            copyLibrary(pristine.path(), whole.path(), step.allOrNone);
            QProcessEnvironment env = shimmed(whole.path(), step.noLinks);
            const ChildRun run = runChild(step.program, step.args, env, true);
            ASSERT_FALSE(run.killed) << run.out.toStdString();
            ASSERT_EQ(run.exitCode, 0) << run.out.toStdString();
            int missing = 0;
            before = signsOf(whole.filePath(kSupport), &missing);
            EXPECT_EQ(missing, 0);
        }
        ASSERT_FALSE(before.isEmpty() && QLatin1String(step.name) != QLatin1String("start-up with no library") &&
                     !step.allOrNone);
        ASSERT_TRUE(!step.allOrNone || before != pristineSigns);
        int points = 0;
        for (const char* call : calls) {
            for (int n = 1;; ++n) {
                SCOPED_TRACE(std::string(call) + " " + std::to_string(n));
                QTemporaryDir data;
                copyLibrary(pristine.path(), data.path(), step.allOrNone);
                QProcessEnvironment env = shimmed(data.path(), step.noLinks);
                env.insert(QStringLiteral("TAVVEL_KILL_CALL"), QString::fromLatin1(call));
                env.insert(QStringLiteral("TAVVEL_KILL_AT"), QString::number(n));
                const ChildRun killed = runChild(step.program, step.args, env, true);
                if (!killed.killed) {
                    ASSERT_EQ(killed.exitCode, 0) << killed.out.toStdString();
                    break;
                }
                ++points;
                // The normal start after the kill.
                const ChildRun next = runChild(check, {QStringLiteral("check")}, childEnvironment(data.path()));
                ASSERT_FALSE(next.killed);
                const QString support = data.filePath(kSupport);
                int missing = 0;
                QStringList after = signsOf(support, &missing);
                EXPECT_EQ(missing, 0);
                // Each row once.
                QStringList expected = step.addsOne ? before.mid(0, before.size() - 1) : before;
                if (step.addsOne && after.size() == before.size())
                    expected << before.last();
                if (step.allOrNone && after == pristineSigns)
                    expected = pristineSigns;
                EXPECT_EQ(after, expected) << next.out.toStdString();
                // An alert after this start tells what the library now holds.
                const QStringList told = next.out.trimmed().split(QLatin1Char(' '));
                if (told.value(1) == QLatin1String("1") && told.value(2) != QLatin1String("-1")) {
                    EXPECT_EQ(told.value(2).toInt(), after.size()) << next.out.toStdString();
                }
                EXPECT_TRUE(QDir(support).entryList({QStringLiteral("Tavvel.db.repair*")}).isEmpty());
                if (step.allOrNone) {
                    // The main program's first work then removes what the removal noted and no row
                    // names: one file per row is left.
                    ASSERT_FALSE(
                        runChild(step.program, {QStringLiteral("start")}, childEnvironment(data.path())).killed);
                    EXPECT_EQ(QDir(support + QStringLiteral("/DownloadVideo")).entryList(QDir::Files).size(),
                              after.size());
                    EXPECT_EQ(QDir(support).entryList({QStringLiteral(".removing-*")}, QDir::Hidden | QDir::Files),
                              QStringList());
                }
            }
        }
        std::printf("%s: %d kill points\n", step.name, points);
    }
}

// One program imports in a loop while another starts and repairs the library that was damaged
// under the first: every import reported done is in the repaired library, and the repair says
// it carried the rows that read.
TEST(KillPoints, ARepairWhileAnotherProgramImportsLosesNoImport) {
    const QString child = QStringLiteral(LIBRARY_STEP_CHILD);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        QTemporaryDir data;
        const QString support = data.filePath(kSupport);
        fill(support, 24);
        QProcess importer;
        importer.setProcessEnvironment(childEnvironment(data.path()));
        importer.start(child, {QStringLiteral("insert"), QStringLiteral("new"), QStringLiteral("60")});
        QByteArray seen;
        while (!seen.contains("ready") && importer.waitForReadyRead(10000))
            seen += importer.readAllStandardOutput();
        ASSERT_TRUE(seen.contains("ready"));
        ASSERT_TRUE(
            testsupport::overwriteBytes(support + QStringLiteral("/Tavvel.db"), 4 * 4096, QByteArray(4096, '\xff')));
        importer.write("go\n");
        const ChildRun repair = runChild(child, {QStringLiteral("check")}, childEnvironment(data.path()));
        ASSERT_TRUE(importer.waitForFinished(60000));
        const QString imported = QString::fromLocal8Bit(seen + importer.readAllStandardOutput());
        const QStringList told = repair.out.trimmed().split(QLatin1Char(' '));
        if (told.value(1) == QLatin1String("1")) {
            EXPECT_GT(told.value(2).toInt(), 0) << repair.out.toStdString();
        }
        int missing = 0;
        const QStringList signs = signsOf(support, &missing);
        const QSet<QString> library(signs.begin(), signs.end());
        EXPECT_EQ(library.size(), signs.size());
        for (const QString& line : imported.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("done "))) {
                EXPECT_TRUE(library.contains(line.mid(5))) << line.toStdString() << "\n" << repair.out.toStdString();
            }
        }
    }
}

// Where a rename cannot refuse to replace, a hard link and the old name's removal stand for it;
// a removal that fails takes the link back and fails, so the file has one name, the old one.
TEST(KillPoints, ALinkedRenameWhoseUnlinkFailsTakesTheLinkBack) {
    QTemporaryDir data;
    const QString from = data.filePath(QStringLiteral("from.db"));
    const QString to = data.filePath(QStringLiteral("to.db"));
    QFile(from).open(QIODevice::WriteOnly);
    QProcessEnvironment env = childEnvironment(data.path());
    env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(KILL_SHIM));
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    env.insert(QStringLiteral("TAVVEL_KILL_UNDER"), from);
    env.insert(QStringLiteral("TAVVEL_KILL_NFS"), QStringLiteral("1"));
    env.insert(QStringLiteral("TAVVEL_KILL_FAIL_UNLINK"), QStringLiteral("1"));
    const ChildRun run = runChild(QStringLiteral(LIBRARY_STEP_CHILD), {QStringLiteral("rename"), from, to}, env);
    EXPECT_TRUE(run.out.contains(QStringLiteral("renamed 0"))) << run.out.toStdString();
    EXPECT_TRUE(QFileInfo::exists(from));
    EXPECT_FALSE(QFileInfo::exists(to));
}
