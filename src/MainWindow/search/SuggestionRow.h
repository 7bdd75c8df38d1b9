#pragma once
#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

// One row of the suggestion popup. Every field is optional; the search field fills "label",
// "detailedLabel", "action", "header" and "separator", the popup's own thumbnails use the image
// fields.
struct SuggestionRow {
    enum class Kind { Separator, Header, Normal };

    std::optional<QString> label;          // a normal row's text, a header's title
    std::optional<QString> detailedLabel;  // headers: the right button's title
    std::function<void()> action;          // headers: what the right button does
    bool header = false;
    bool separator = false;
    std::optional<QImage> image;   // normal rows: the thumbnail
    std::optional<QUrl> imageUrl;  // normal rows: where the thumbnail is read when there is no image

    // A separator wins over a header; everything else is a normal row.
    Kind kind() const { return separator ? Kind::Separator : header ? Kind::Header : Kind::Normal; }

    static SuggestionRow normal(const QString& text) {
        SuggestionRow row;
        row.label = text;
        return row;
    }
};

using SuggestionRows = QList<SuggestionRow>;
