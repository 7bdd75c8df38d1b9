// allVideos over a 10,000-row library, against the sqlite3 command-line tool reading the same
// rows (its process start included: it is the cost of the plainest reader at hand).
#include "shared/LocalVideoDBManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <sqlite3.h>
#include <vector>

namespace {
constexpr int kRows = 10000;
constexpr int kRounds = 7;

void fill(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(
        db,
        "INSERT INTO LocalVideos (vid, sign, preurl, title, url, description, time, size, imgurl, "
        "imgsize, tags, ratio, width, height, frame, rate, audio, uptime, down, view, author, avatar, "
        "avatarsize, hp, upcount, state) VALUES (?1, printf('%032x', ?1), 'https://example.invalid/p', "
        "'A title of some length', 'file:///home/user/videos/a%20video.mp4', 'A description of the video', "
        "15000, 31457280, 'file:///thumb.png', 2048, 'tag,tag', '16:9', 1920, 1080, 30, 4000000, 1, "
        "'2021-05-01', 3, 4, 'Author', 'https://example.invalid/a.png', 100, 'hp', 5, 1)",
        -1, &stmt, nullptr);
    for (int i = 0; i < kRows; ++i) {
        sqlite3_bind_int(stmt, 1, i);
        sqlite3_step(stmt);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tavvel.db"));
    // The manager logs its path; keep the figures alone on standard output.
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    LocalVideoDBManager manager(path);
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(null);
    ::close(saved);
    fill(path);

    std::vector<double> ours, tool;
    size_t rows = 0;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer t;
        t.start();
        rows = manager.allVideos().size();
        ours.push_back(t.nsecsElapsed() / 1e6);

        QProcess cli;
        cli.setStandardOutputFile(QProcess::nullDevice());
        t.restart();
        cli.start(QStringLiteral(SQLITE3_CLI),
                  {QStringLiteral("-batch"), path, QStringLiteral("select * from LocalVideos")});
        cli.waitForFinished(-1);
        tool.push_back(t.nsecsElapsed() / 1e6);
    }
    const double a = median(ours), b = median(tool);
    std::printf("database allVideos %d rows: %.2f ms (%.2fx sqlite3 CLI reading the same rows, %.2f ms)\n", kRows, a,
                a / b, b);
    return rows == size_t(kRows) ? 0 : 1;
}
