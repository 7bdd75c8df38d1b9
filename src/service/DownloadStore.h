#pragma once
#include "shared/VideoDetail.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>
#include <vector>

// The persisted forms of the download queue: the list file "downloadInfo.bat" and the small
// resume descriptors beside the partial data. Only this program reads them.

// One element of the persisted list.
struct DownloadStore {
    VideoDetail videoInfo;
    std::optional<QUrl> cacheURL;  // the resume descriptor of an interrupted transfer
};

inline constexpr qint64 kDownloadListVersion = 1;
inline constexpr qint64 kResumeDataVersion = 1;

// {"version":1,"items":[{"videoInfo":{...},"cacheURL":"file:///..."}]} as compact UTF-8 JSON.
QByteArray encodeDownloadList(const std::vector<DownloadStore>& items);
// The list, or an empty list for any fault: no text, not JSON, another version, a bad element.
std::vector<DownloadStore> decodeDownloadList(const QByteArray& data);

// What a later transfer needs to continue an interrupted one: the address, the partial data
// (a file name in the descriptor's own directory) and the validators the server gave.
struct ResumeData {
    QUrl url;
    QString partial;       // file name only, "<10 letters and digits>.part"
    QString etag;          // strong entity tag, quotes included; empty when none
    QString lastModified;  // HTTP date text; empty when none
    qint64 total = -1;     // expected size of the whole file; -1 when unknown

    bool operator==(const ResumeData&) const = default;
};

QByteArray encodeResumeData(const ResumeData& data);
// Nothing unless the text is a descriptor of our version with an http(s) address, a partial
// name of our own form and at least one validator.
std::optional<ResumeData> decodeResumeData(const QByteArray& data);

// A valid http or https address with a host.
bool isHttp(const QUrl& url);

// The path of a resume descriptor the queue itself made, or nothing: a list entry that points
// anywhere else is never read as ours or deleted.
std::optional<QString> ownResumeFile(const std::optional<QUrl>& cacheURL);
// One of our descriptors, read, with the path of the partial data it names (beside it).
struct ResumeFile {
    ResumeData data;
    QString partialPath;
};
std::optional<ResumeFile> readResumeFile(const std::optional<QUrl>& cacheURL);

// Names of the files the queue creates in the caches directory. Only files of these forms are
// ever deleted there, so a tampered list cannot make the queue delete anything else.
bool isResumeFileName(const QString& name);   // 10 letters and digits
bool isPartialFileName(const QString& name);  // 10 letters and digits + ".part"

// Reads a small file whole; nothing when missing, unreadable or larger than `limit`.
std::optional<QByteArray> readSmallFile(const QString& path, qint64 limit = 16 * 1024 * 1024);
