#pragma once
#include <QString>
#include <QUrl>
#include <optional>

// The address in `text`: parsed strictly, or else once more with everything a URL query does
// not allow percent-encoded. None for an empty text or when neither gives a valid URL.
std::optional<QUrl> looseUrl(const QString& text);
// The same, but only an http(s) address with a host: what the program fetches or opens of the
// addresses the service sends. Other schemes (file, javascript, ...) give none.
std::optional<QUrl> webAddress(const QString& text);
bool isWebAddress(const QUrl& url);
