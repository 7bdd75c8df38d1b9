#pragma once
#include "MainWindow/Controller/ImageLoader.h"
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

// A video's cover: a web address, or a local picture only for a stored video, whose own address
// is a local file (its thumbnail was made here). A local path from the service could name a FIFO
// or a device, whose reading never ends.
inline std::optional<QUrl> coverAddress(const QString& imageText, const QString& videoText) {
    const std::optional<QUrl> url = ImageLoader::looseUrl(imageText);
    if (!url)
        return std::nullopt;
    if (url->isLocalFile() && QUrl(videoText).isLocalFile())
        return url;
    return platform::isWebAddress(*url) ? url : std::nullopt;
}
