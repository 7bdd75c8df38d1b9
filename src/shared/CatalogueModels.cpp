#include "shared/CatalogueModels.h"

#include <QJsonDocument>

using L = QLatin1StringView;

std::optional<Cate> Cate::fromJson(const QJsonValue& value) {
    jsonread::ObjectReader r(value);
    Cate c;
    c.id = r.get<qint64>(L("id"));
    c.title = r.get<QString>(L("title"));
    if (!r.ok)
        return std::nullopt;
    return c;
}

QJsonObject Cate::toJsonObject() const {
    return QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("title"), title}};
}

std::optional<BaseInfo> BaseInfo::fromJson(const QJsonValue& value) {
    jsonread::ObjectReader r(value);
    BaseInfo b;
    b.cate = r.get<std::vector<Cate>>(L("cate"));
    b.hottags = r.get<std::vector<QString>>(L("hottags"));
    b.hotkey = r.get<std::vector<QString>>(L("hotkey"));
    if (!r.ok)
        return std::nullopt;
    return b;
}

QJsonObject BaseInfo::toJsonObject() const {
    return QJsonObject{{QStringLiteral("cate"), jsonread::write(cate)},
                       {QStringLiteral("hottags"), jsonread::write(hottags)},
                       {QStringLiteral("hotkey"), jsonread::write(hotkey)}};
}

std::optional<TotalVideo> TotalVideo::fromJson(const QJsonValue& value) {
    jsonread::ObjectReader r(value);
    TotalVideo t;
    t.pages = r.get<qint64>(L("pages"));
    t.page = r.get<qint64>(L("page"));
    t.total = r.get<qint64>(L("total"));
    t.count = r.get<qint64>(L("count"));
    t.vlist = r.get<std::vector<VideoDetail>>(L("vlist"));
    if (!r.ok)
        return std::nullopt;
    return t;
}

QJsonObject TotalVideo::toJsonObject() const {
    return QJsonObject{{QStringLiteral("pages"), pages},
                       {QStringLiteral("page"), page},
                       {QStringLiteral("total"), total},
                       {QStringLiteral("count"), count},
                       {QStringLiteral("vlist"), jsonread::write(vlist)}};
}

QJsonObject VideoListRequest::toJsonObject() const {
    return QJsonObject{{QStringLiteral("ui"), ui_},
                       {QStringLiteral("cate"), cate},
                       {QStringLiteral("page"), page},
                       {QStringLiteral("keywords"), keywords},
                       {QStringLiteral("sort"), sort},
                       {QStringLiteral("author"), author}};
}

QByteArray VideoListRequest::toJson() const {
    return QJsonDocument(toJsonObject()).toJson(QJsonDocument::Compact);
}

QString VideoListRequest::base64Utf8(const QString& text) {
    return QString::fromLatin1(text.toUtf8().toBase64());
}
