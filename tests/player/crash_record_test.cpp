// The crash record, written by real processes whose threads fault together.
#include "player/CrashGuard.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <signal.h>

// Faults of the process itself are recorded; a fatal signal that another program sends is no
// fault of the video playing.
TEST(CrashRecord, IsCompleteWhenManyThreadsFaultAtOnceAndBlamesNothingWithoutAVideo) {
    // The longest sign the record holds, so a write cut short shows.
    const QString sign(127, u'v');
    const struct {
        QString playing;   // "-": none
        int threads;       // 0: the signal comes from this test
        QString recorded;  // empty: no record
        int sent = 0;
        bool queued = false;
    } cases[] = {
        {sign, 1, sign},
        {sign, 8, sign},
        {QStringLiteral("-"), 8, QString()},
        {sign, 0, QString(), SIGSEGV},
        {sign, 0, QString(), SIGBUS, true},
        {sign, 0, QString(), SIGABRT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 thread(s), playing %2").arg(c.threads).arg(c.playing.left(8)).toStdString());
        for (int run = 0; run < (c.threads ? 20 : 2); ++run) {
            QTemporaryDir cache;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache.path());
            // The sanitizer's own report of the fault is not what is tested here.
            environment.insert(QStringLiteral("ASAN_OPTIONS"),
                               QStringLiteral("handle_segv=0:handle_sigbus=0:handle_abort=0"));
            QProcess child;
            child.setProcessEnvironment(environment);
            child.start(QStringLiteral(CRASH_CHILD), {c.playing, QString::number(c.threads)});
            if (c.sent) {
                ASSERT_TRUE(child.waitForReadyRead(30000));
                const pid_t pid = pid_t(child.processId());
                if (c.queued)
                    ASSERT_EQ(sigqueue(pid, c.sent, sigval{}), 0);
                else
                    ASSERT_EQ(kill(pid, c.sent), 0);
            }
            ASSERT_TRUE(child.waitForFinished(30000));
            ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << child.readAllStandardError().toStdString();
            QFile record(cache.filePath(QStringLiteral("com.zembo.TavvelHelper/crashed-video")));
            if (c.recorded.isEmpty()) {
                EXPECT_FALSE(record.exists()) << "run " << run;
                continue;
            }
            ASSERT_TRUE(record.open(QIODevice::ReadOnly)) << "run " << run;
            EXPECT_EQ(QString::fromLatin1(record.readAll()), c.recorded) << "run " << run;
        }
    }
}
