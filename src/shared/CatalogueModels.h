#pragma once
#include "shared/Envelope.h"
#include "shared/VideoDetail.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>
#include <vector>

// One category of the online catalogue.
struct Cate {
    qint64 id = 0;
    QString title;

    static std::optional<Cate> fromJson(const QJsonValue& value);
    QJsonObject toJsonObject() const;
};

// The catalogue's fixed vocabulary: categories, hot tags and hot search words.
struct BaseInfo {
    std::vector<Cate> cate;
    std::vector<QString> hottags;
    std::vector<QString> hotkey;

    static std::optional<BaseInfo> fromJson(const QJsonValue& value);
    QJsonObject toJsonObject() const;
};

// One page of the video list.
struct TotalVideo {
    qint64 pages = 0;
    qint64 page = 0;
    qint64 total = 0;
    qint64 count = 0;
    std::vector<VideoDetail> vlist;

    static std::optional<TotalVideo> fromJson(const QJsonValue& value);
    QJsonObject toJsonObject() const;
};

using BaseInfoResponse = Envelope<BaseInfo>;
using KeywordResponse = Envelope<std::vector<QString>>;
using VideoListResponse = Envelope<TotalVideo>;

// The two orders of the catalogue; `sort` travels as a plain number, not as this.
enum class VideoSort { newest, hottest };

// Payload of the video-list request. `ui` (the client identifier) is fixed at creation.
class VideoListRequest {
public:
    // A fresh request: category 0, page 1, no keywords, sort 1, no author.
    explicit VideoListRequest(QString ui) : ui_(std::move(ui)) {}

    const QString& ui() const { return ui_; }
    qint64 cate = 0;
    qint64 page = 1;
    QString keywords;  // Base64 of the UTF-8 search words, or empty
    qint64 sort = 1;
    QString author;  // Base64 of the UTF-8 author name, or empty

    // The six keys ui, cate, page, keywords, sort, author.
    QJsonObject toJsonObject() const;
    // Compact JSON text (no white space) of toJsonObject().
    QByteArray toJson() const;

    // Standard Base64 with padding, on one line, of the text's UTF-8 bytes.
    static QString base64Utf8(const QString& text);

private:
    QString ui_;
};
