#pragma once
#include "shared/CatalogueModels.h"

#include <QColor>
#include <QString>
#include <QUrl>
#include <optional>

// How the online tab's controls turn into list requests, and how the heartbeat's news line is
// read. Pure functions: the library screen calls them and hands the result to the online model.
namespace catalogue {

// A category choice: page 1 of that category with no keywords and no author, keeping the client
// and the sort of the last request (sort 1 without one).
VideoListRequest categoryRequest(const std::optional<VideoListRequest>& latest, const QString& clientId, qint64 cate);

// A sort choice: the last request with the new sort, restarted at page 1 (the list is replaced,
// so carrying the page over would skip the first pages); without one, category 0, page 1.
VideoListRequest sortRequest(const std::optional<VideoListRequest>& latest, const QString& clientId, qint64 sort);

// The news line's colour text, "#rrggbb" (the hash is optional): the leading hexadecimal digits
// as 0xRRGGBB. No digits give black; an empty text gives nothing (the link keeps its colour).
std::optional<QColor> newsColor(const QString& text);

// The address of a service-supplied text: none when it is no valid absolute URL.
std::optional<QUrl> newsUrl(const QString& text);

}  // namespace catalogue
