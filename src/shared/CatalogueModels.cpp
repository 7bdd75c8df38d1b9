#include "shared/CatalogueModels.h"

#include <QJsonDocument>

namespace {
using jsonread::field;
const auto kCate = std::make_tuple(field("id", &Cate::id), field("title", &Cate::title));
const auto kBaseInfo = std::make_tuple(field("cate", &BaseInfo::cate), field("hottags", &BaseInfo::hottags),
                                       field("hotkey", &BaseInfo::hotkey));
const auto kTotalVideo = std::make_tuple(field("pages", &TotalVideo::pages), field("page", &TotalVideo::page),
                                         field("total", &TotalVideo::total), field("count", &TotalVideo::count),
                                         field("vlist", &TotalVideo::vlist));
}  // namespace

std::optional<Cate> Cate::fromJson(const QJsonValue& value) {
    return jsonread::readRecord(value, kCate);
}
QJsonObject Cate::toJsonObject() const {
    return jsonread::writeRecord(*this, kCate);
}

std::optional<BaseInfo> BaseInfo::fromJson(const QJsonValue& value) {
    return jsonread::readRecord(value, kBaseInfo);
}
QJsonObject BaseInfo::toJsonObject() const {
    return jsonread::writeRecord(*this, kBaseInfo);
}

std::optional<TotalVideo> TotalVideo::fromJson(const QJsonValue& value) {
    return jsonread::readRecord(value, kTotalVideo);
}
QJsonObject TotalVideo::toJsonObject() const {
    return jsonread::writeRecord(*this, kTotalVideo);
}

QJsonObject VideoListRequest::toJsonObject() const {
    return QJsonObject{{QStringLiteral("ui"), ui_},    {QStringLiteral("cate"), cate},
                       {QStringLiteral("page"), page}, {QStringLiteral("keywords"), keywords},
                       {QStringLiteral("sort"), sort}, {QStringLiteral("author"), author}};
}

QByteArray VideoListRequest::toJson() const {
    return QJsonDocument(toJsonObject()).toJson(QJsonDocument::Compact);
}

QString VideoListRequest::base64Utf8(const QString& text) {
    return QString::fromLatin1(text.toUtf8().toBase64());
}
