#include "service/DownloadStore.h"

#include "service/DownloadPaths.h"
#include "shared/JsonRead.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
bool isAlphanumeric10(QStringView text) {
    if (text.size() != 10)
        return false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
        if (!ok)
            return false;
    }
    return true;
}

std::optional<QJsonObject> parseObject(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}
}  // namespace

bool isResumeFileName(const QString& name) {
    return isAlphanumeric10(name);
}

bool isPartialFileName(const QString& name) {
    return name.size() == 15 && name.endsWith(QLatin1String(".part")) && isAlphanumeric10(QStringView(name).left(10));
}

QByteArray encodeDownloadList(const std::vector<DownloadStore>& items) {
    QJsonArray array;
    for (const DownloadStore& item : items) {
        QJsonObject element;
        element.insert(QStringLiteral("videoInfo"), item.videoInfo.toJsonObject());
        if (item.cacheURL)
            element.insert(QStringLiteral("cacheURL"), item.cacheURL->toString(QUrl::FullyEncoded));
        array.append(element);
    }
    QJsonObject root;
    root.insert(QStringLiteral("version"), kDownloadListVersion);
    root.insert(QStringLiteral("items"), array);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

std::vector<DownloadStore> decodeDownloadList(const QByteArray& data) {
    const auto root = parseObject(data);
    if (!root)
        return {};
    if (jsonread::toInt64(root->value(QStringLiteral("version"))) != kDownloadListVersion)
        return {};
    const auto array = jsonread::toArray(root->value(QStringLiteral("items")));
    if (!array)
        return {};
    std::vector<DownloadStore> items;
    items.reserve(static_cast<size_t>(array->size()));
    for (const QJsonValue& value : *array) {
        const auto element = jsonread::toObject(value);
        if (!element)
            return {};
        auto videoInfo = VideoDetail::fromJson(element->value(QStringLiteral("videoInfo")));
        if (!videoInfo)
            return {};
        DownloadStore store{std::move(*videoInfo), std::nullopt};
        const QJsonValue cache = element->value(QStringLiteral("cacheURL"));
        if (!cache.isUndefined()) {
            const auto text = jsonread::toString(cache);
            if (!text)
                return {};
            store.cacheURL = QUrl(*text);
        }
        items.push_back(std::move(store));
    }
    return items;
}

QByteArray encodeResumeData(const ResumeData& data) {
    QJsonObject root;
    root.insert(QStringLiteral("version"), kResumeDataVersion);
    root.insert(QStringLiteral("url"), data.url.toString(QUrl::FullyEncoded));
    root.insert(QStringLiteral("partial"), data.partial);
    root.insert(QStringLiteral("etag"), data.etag);
    root.insert(QStringLiteral("lastModified"), data.lastModified);
    root.insert(QStringLiteral("total"), data.total);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

std::optional<ResumeData> decodeResumeData(const QByteArray& bytes) {
    const auto root = parseObject(bytes);
    if (!root)
        return std::nullopt;
    if (jsonread::toInt64(root->value(QStringLiteral("version"))) != kResumeDataVersion)
        return std::nullopt;
    const auto url = jsonread::toString(root->value(QStringLiteral("url")));
    const auto partial = jsonread::toString(root->value(QStringLiteral("partial")));
    const auto etag = jsonread::toString(root->value(QStringLiteral("etag")));
    const auto lastModified = jsonread::toString(root->value(QStringLiteral("lastModified")));
    const auto total = jsonread::toInt64(root->value(QStringLiteral("total")));
    if (!url || !partial || !etag || !lastModified || !total)
        return std::nullopt;
    ResumeData data{QUrl(*url, QUrl::StrictMode), *partial, *etag, *lastModified, *total};
    if (!isHttp(data.url))
        return std::nullopt;
    if (!isPartialFileName(data.partial))
        return std::nullopt;
    // Without a validator the server could hand us the tail of a different file.
    if (data.etag.isEmpty() && data.lastModified.isEmpty())
        return std::nullopt;
    return data;
}

bool isHttp(const QUrl& url) {
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

std::optional<QString> ownResumeFile(const std::optional<QUrl>& cacheURL) {
    if (!cacheURL || !cacheURL->isLocalFile())
        return std::nullopt;
    const QFileInfo info(cacheURL->toLocalFile());
    if (!isResumeFileName(info.fileName()))
        return std::nullopt;
    if (QDir(info.absolutePath()).canonicalPath() != QDir(downloadCachesDirectoryPath()).canonicalPath())
        return std::nullopt;
    return info.absoluteFilePath();
}

std::optional<ResumeFile> readResumeFile(const std::optional<QUrl>& cacheURL) {
    const auto descriptor = ownResumeFile(cacheURL);
    if (!descriptor)
        return std::nullopt;
    const auto bytes = readSmallFile(*descriptor, 64 * 1024);
    if (!bytes)
        return std::nullopt;
    auto data = decodeResumeData(*bytes);
    if (!data)
        return std::nullopt;
    const QString partialPath = QFileInfo(*descriptor).dir().filePath(data->partial);
    return ResumeFile{std::move(*data), partialPath};
}

std::optional<QByteArray> readSmallFile(const QString& path, qint64 limit) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (file.size() > limit)
        return std::nullopt;
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return data;
}
