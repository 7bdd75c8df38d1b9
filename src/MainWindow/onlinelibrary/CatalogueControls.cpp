#include "MainWindow/onlinelibrary/CatalogueControls.h"

#include <cctype>

namespace catalogue {

VideoListRequest categoryRequest(const std::optional<VideoListRequest>& latest, const QString& clientId, qint64 cate) {
    VideoListRequest request(latest ? latest->ui() : clientId);
    request.cate = cate;
    request.page = 1;
    request.keywords.clear();
    request.author.clear();
    request.sort = latest ? latest->sort : 1;
    return request;
}

VideoListRequest sortRequest(const std::optional<VideoListRequest>& latest, const QString& clientId, qint64 sort) {
    VideoListRequest request = latest ? *latest : VideoListRequest(clientId);
    request.sort = sort;
    request.page = 1;
    return request;
}

std::optional<QColor> newsColor(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    QStringView digits(text);
    if (digits.startsWith(QLatin1Char('#')))
        digits = digits.mid(1);
    // Like a hexadecimal scanner: the leading digits count, the rest is ignored.
    qsizetype end = 0;
    while (end < digits.size() && end < 8 && std::isxdigit(static_cast<unsigned char>(digits.at(end).toLatin1())))
        ++end;
    bool ok = false;
    const quint32 h = end ? digits.left(end).toUInt(&ok, 16) : 0;
    if (!ok && end)
        return QColor(0, 0, 0);
    return QColor::fromRgbF(((h >> 16) & 255) / 255.0f, ((h >> 8) & 255) / 255.0f, (h & 255) / 255.0f, 1.0f);
}

std::optional<QUrl> newsUrl(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid() || url.isRelative())
        return std::nullopt;
    return url;
}

}  // namespace catalogue
