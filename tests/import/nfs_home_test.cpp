// A real importer process on a home folder with NFS's rules (the preloaded shim) and on a local
// one: a library that is no database is set aside, every file is imported, the copy a killed
// import left under the video's name is reused, the hidden temporary of an import killed part-way
// is swept, and one that a running import holds is left alone. On a mount without locks a
// running import cannot be told: a temporary goes once nobody wrote it for an hour by the
// server's clock, here two hours behind this machine's.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "ImportFixture.h"
#include "shared/LocalVideoDBManager.h"

namespace {
bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
}  // namespace

enum class Home { local, nfs, nfsWithoutLocks };
class HomeFolder : public testing::TestWithParam<Home> {};

TEST_P(HomeFolder, ImportsSetsAsideReusesAndSweeps) {
    const bool nfs = GetParam() != Home::local;
    QStringList samples;
    for (const char* clip : {"clip_320x180.mp4", "clip_12_7s.mp4", "clip_1366x768.mov"})
        samples << importtest::testVideo(QString::fromLatin1(clip));
    QTemporaryDir data;
    const QDir support(data.filePath(QStringLiteral("Q7ZK3M8WRT.tavvel/Application Support")));
    const QDir videos(support.filePath(QStringLiteral("DownloadVideo")));
    ASSERT_TRUE(QDir().mkpath(videos.path()));
    ASSERT_TRUE(writeFile(support.filePath(QStringLiteral("Tavvel.db")), "no database"));
    // Killed after its copy was linked (no row), and killed part-way through another copy.
    ASSERT_TRUE(QFile::copy(samples[0], videos.filePath(QStringLiteral("clip_320x180.mp4"))));
    QFile killed(videos.filePath(QStringLiteral(".import-Ab12Cd")));
    ASSERT_TRUE(killed.open(QIODevice::WriteOnly) && killed.write(QByteArray(4096, 'x')) == 4096 && killed.flush() &&
                killed.setFileTime(QDateTime::currentDateTime().addSecs(-7200), QFileDevice::FileModificationTime));
    killed.close();
    // Held by an import still running (this test stands for it).
    const QString held = videos.filePath(QStringLiteral(".import-Held01"));
    ASSERT_TRUE(writeFile(held, "half"));
    const int holder = ::open(QFile::encodeName(held).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    env.insert(QStringLiteral("TAVVEL_TEST_SHARED_XDG"), QStringLiteral("1"));
    if (nfs) {
        env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(NFS_RULES_SHIM));
        if (GetParam() == Home::nfsWithoutLocks) {
            env.insert(QStringLiteral("NFS_RULES_NO_LOCKS"), QStringLiteral("1"));
            env.insert(QStringLiteral("NFS_RULES_CLOCK_AHEAD"), QStringLiteral("7200"));
        }
        // A sanitizer build's runtime is then not the first library; that is meant here.
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":verify_asan_link_order=0"));
    }
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QStringLiteral(IMPORT_RACE_CHILD), samples);
    ASSERT_TRUE(child.waitForStarted(10000));
    ASSERT_TRUE(child.write("go\n") == 3 && child.waitForBytesWritten(5000));
    ASSERT_TRUE(child.waitForFinished(60000) && child.exitCode() == 0) << child.readAllStandardError().toStdString();
    const QString log = QString::fromLocal8Bit(child.readAllStandardOutput());
    ::close(holder);

    EXPECT_EQ(support.entryList({QStringLiteral("Tavvel.db.broken-*")}, QDir::Files).size(), 1) << log.toStdString();
    QSet<QString> named;
    for (const VideoDetail& video : LocalVideoDBManager(support.filePath(QStringLiteral("Tavvel.db"))).allVideos()) {
        const QFileInfo file(QUrl(video.url).toLocalFile());
        EXPECT_TRUE(file.isFile()) << video.url.toStdString();
        named.insert(file.fileName());
    }
    EXPECT_EQ(named.size(), samples.size()) << log.toStdString();
    EXPECT_TRUE(named.contains(QStringLiteral("clip_320x180.mp4")));
    EXPECT_TRUE(log.contains(QStringLiteral("Reusing the copy of an earlier import: clip_320x180.mp4")));
    QSet<QString> expected = named;
    expected.insert(QStringLiteral(".import-Held01"));
    const QStringList present = videos.entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(QSet<QString>(present.begin(), present.end()), expected);
}

INSTANTIATE_TEST_SUITE_P(NfsAndLocal, HomeFolder, testing::Values(Home::local, Home::nfs, Home::nfsWithoutLocks),
                         [](const testing::TestParamInfo<Home>& info) {
                             return info.param == Home::local ? "Local"
                                    : info.param == Home::nfs ? "Nfs"
                                                              : "NfsWithoutLocks";
                         });
