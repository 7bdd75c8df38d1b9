#pragma once
#include "MainWindow/Controller/ImageLoader.h"

#include <QUrl>
#include <optional>

// What the main window fetches or opens of the addresses the service sends (preview pages,
// avatars, covers): only http(s) with a host. Other schemes (file, javascript, ...) are ignored.
inline bool isWebAddress(const QUrl& url) {
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// The stored text's address (as the image loader reads it) when it is a web address.
inline std::optional<QUrl> webAddress(const QString& text) {
    const std::optional<QUrl> url = ImageLoader::looseUrl(text);
    if (!url || !isWebAddress(*url))
        return std::nullopt;
    return url;
}
