#include "service/VideoSign.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/Log.h"

std::optional<QString> videoSign(const QString& path) {
    if (path.isEmpty())
        return std::nullopt;
    const std::filesystem::path fsPath(QFile::encodeName(path).toStdString());

    std::error_code ec;
    // Links are followed. A missing file (or a dangling link) is an ordinary case for the
    // callers: no log line.
    const std::filesystem::file_status status = std::filesystem::status(fsPath, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return std::nullopt;
    if (ec) {
        platform::logLine(QString::fromStdString(ec.message()));
        return std::nullopt;
    }
    // A directory or a device has no bytes that could identify a video.
    if (!std::filesystem::is_regular_file(status))
        return std::nullopt;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 wanted = std::min<qint64>(file.size(), kVideoSignPrefixBytes);

    // Chunked reading keeps memory small; the digest is the same as over one buffer.
    QCryptographicHash hash(QCryptographicHash::Md5);
    std::vector<char> buffer(static_cast<size_t>(std::min<qint64>(wanted, 1 << 20)) + 1);
    qint64 remaining = wanted;
    while (remaining > 0) {
        const qint64 chunk = std::min<qint64>(remaining, static_cast<qint64>(buffer.size()));
        const qint64 got = file.read(buffer.data(), chunk);
        // A file that shrank or failed mid-read: a digest of fewer bytes would be a wrong identity.
        if (got <= 0)
            return std::nullopt;
        hash.addData(QByteArrayView(buffer.data(), got));
        remaining -= got;
    }
    return QString::fromLatin1(hash.result().toHex());
}

std::optional<QString> videoSign(const QUrl& fileUrl) {
    if (!fileUrl.isLocalFile())
        return std::nullopt;
    return videoSign(fileUrl.toLocalFile());
}
