#pragma once
#include "MainWindow/library/ImageLoader.h"
#include "platform/gui/OpenUrl.h"

#include <QUrl>
#include <optional>

// The stored text's address (as the image loader reads it) when it is a web address: of the
// addresses the service sends (preview pages, avatars, covers) the main window fetches or opens
// only http(s) with a host. Other schemes (file, javascript, ...) are ignored.
inline std::optional<QUrl> webAddress(const QString& text) {
    const std::optional<QUrl> url = ImageLoader::looseUrl(text);
    if (!url || !platform::isWebAddress(*url))
        return std::nullopt;
    return url;
}
