#include "shared/HeartbeatModels.h"

namespace {
using jsonread::field;
const auto kTime = std::make_tuple(field("st", &Time::st), field("vt", &Time::vt), field("tt", &Time::tt));
const auto kColor = std::make_tuple(field("show", &Color::show), field("hover", &Color::hover),
                                    field("click", &Color::click));
const auto kMsgTop = std::make_tuple(
    field("msgid", &MsgTop::msgid), field("tittle", &MsgTop::tittle), field("url", &MsgTop::url),
    field("color", &MsgTop::color), field("point", &MsgTop::point), field("type", &MsgTop::type),
    field("back", &MsgTop::back), field("width", &MsgTop::width), field("height", &MsgTop::height));
const auto kMsgBottom = std::make_tuple(field("msgid", &MsgBottom::msgid), field("msg", &MsgBottom::msg),
                                        field("url", &MsgBottom::url), field("color", &MsgBottom::color),
                                        field("back", &MsgBottom::back));
const auto kMsg = std::make_tuple(field("msg_bottom", &Msg::msgBottom), field("msg_top", &Msg::msgTop));
const auto kDataBody = std::make_tuple(field("ct", &DataBody::ct), field("time", &DataBody::time),
                                       field("msg", &DataBody::msg), field("upgrade", &DataBody::upgrade),
                                       field("speedlimit", &DataBody::speedlimit));
}  // namespace

std::optional<Time> Time::fromJson(const QJsonValue& value) {
    return jsonread::readRecord(value, kTime);
}
QJsonObject Time::toJsonObject() const {
    return jsonread::writeRecord(*this, kTime);
}

std::optional<Color> Color::fromJson(const QJsonValue& value) {
    return jsonread::readRecord(value, kColor);
}
QJsonObject Color::toJsonObject() const {
    return jsonread::writeRecord(*this, kColor);
}

std::optional<MsgTop> MsgTop::fromJson(const QJsonValue& value) {
    return jsonread::readRecord(value, kMsgTop);
}
QJsonObject MsgTop::toJsonObject() const {
    return jsonread::writeRecord(*this, kMsgTop);
}

std::optional<MsgBottom> MsgBottom::fromJson(const QJsonValue& value) {
    return jsonread::readRecord(value, kMsgBottom);
}
QJsonObject MsgBottom::toJsonObject() const {
    return jsonread::writeRecord(*this, kMsgBottom);
}

std::optional<Msg> Msg::fromJson(const QJsonValue& value) {
    return jsonread::readRecord(value, kMsg);
}
QJsonObject Msg::toJsonObject() const {
    return jsonread::writeRecord(*this, kMsg);
}

std::optional<DataBody> DataBody::fromJson(const QJsonValue& value) {
    return jsonread::readRecord(value, kDataBody);
}
QJsonObject DataBody::toJsonObject() const {
    return jsonread::writeRecord(*this, kDataBody);
}
