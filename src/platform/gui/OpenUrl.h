#pragma once
#include <QUrl>

namespace platform {
// True for an http or https address with a host: the only addresses the programs hand to the
// desktop, since pictures and links may come from the web service.
bool isWebAddress(const QUrl& url);

// Opens a web address in the default browser; anything else is refused. Returns whether the
// address was handed on (the browser's own answer is not waited for).
bool openWebAddress(const QUrl& url);
}  // namespace platform
