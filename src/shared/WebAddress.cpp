#include "shared/WebAddress.h"

std::optional<QUrl> looseUrl(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        const QByteArray encoded = QUrl::toPercentEncoding(text, QByteArrayLiteral("!$&'()*+,;=:@/?"));
        url = QUrl(QString::fromLatin1(encoded), QUrl::StrictMode);
    }
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

bool isWebAddress(const QUrl& url) {
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

std::optional<QUrl> webAddress(const QString& text) {
    const std::optional<QUrl> url = looseUrl(text);
    if (!url || !isWebAddress(*url))
        return std::nullopt;
    return url;
}
