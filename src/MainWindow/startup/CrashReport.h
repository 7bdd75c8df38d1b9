#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// Crash reports of Tavvel: one text file per uncaught exception or fatal signal, in
// "<own caches folder>/Crash", uploaded and deleted at the next start.
namespace crash {
struct Report {
    QString name;                     // the exception's type, or the signal's name
    std::optional<QString> userInfo;  // "(null)" when absent
    std::optional<QString> shortVersion;
    std::optional<QString> build;
    QString reason;       // what() of the exception
    QStringList symbols;  // the call stack, innermost first
};

// The four blocks, each followed by a blank line, then the symbols joined by line feeds.
QString formatReport(const Report& report);
// Seconds since 1970 rounded to whole seconds, "<n>.txt".
QString fileName(double secondsSince1970);
// The crash folder; empty when there is no caches folder.
QString directory();
// Writes the report atomically into `dir` (made when missing), named after `secondsSince1970`.
// False on failure, which nothing reports further.
bool writeReport(const QString& dir, const Report& report, double secondsSince1970);

// What the folder keeps and uploads: the newest reports, each at most this large, sent this many
// at a time.
constexpr int kMaxKeptReports = 50;
constexpr qint64 kMaxReportBytes = 1024 * 1024;
constexpr int kUploadsAtOnce = 3;
// The reports in `dir` to upload, newest first: regular files (links are not followed) named as
// fileName names them. Reports past the newest kMaxKeptReports and reports larger than
// kMaxReportBytes are deleted, each with a log line; anything else in the folder is left alone.
QStringList reportsToUpload(const QString& dir);

// Writes a report for the exception being handled now (or a bare terminate), then ends the
// process as the runtime would. Installed with std::set_terminate.
[[noreturn]] void handler();
// Installs `handler` and the fatal-signal writer. The folder, the version and the file's head
// are prepared here, so the signal path only opens, writes and renames.
void installHandler();
}  // namespace crash
