#pragma once
#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLatin1StringView>
#include <QString>
#include <optional>
#include <tuple>
#include <type_traits>
#include <vector>

// Strict, all-or-nothing readers for the service's JSON replies and the records we persist.
// A missing key, null, a number given as text, a fraction where an integer is due, a boolean,
// an out-of-range number or a key of another case fails the whole value; unknown keys are
// ignored.
namespace jsonread {

// A JSON number whose value is a whole number inside the signed 64-bit range.
std::optional<qint64> toInt64(const QJsonValue& value);
// A JSON string.
std::optional<QString> toString(const QJsonValue& value);
std::optional<QJsonObject> toObject(const QJsonValue& value);
std::optional<QJsonArray> toArray(const QJsonValue& value);

// Parses a whole reply text (UTF-8); only an object or an array parses.
std::optional<QJsonValue> parseDocument(const QByteArray& utf8);

// How a value of type T is read from JSON. Records provide `static std::optional<T> fromJson`.
template <class T>
struct ValueReader {
    static std::optional<T> read(const QJsonValue& value) { return T::fromJson(value); }
};
template <>
struct ValueReader<qint64> {
    static std::optional<qint64> read(const QJsonValue& value) { return toInt64(value); }
};
template <>
struct ValueReader<QString> {
    static std::optional<QString> read(const QJsonValue& value) { return toString(value); }
};
template <class T>
struct ValueReader<std::vector<T>> {
    static std::optional<std::vector<T>> read(const QJsonValue& value) {
        const auto array = toArray(value);
        if (!array)
            return std::nullopt;
        std::vector<T> out;
        out.reserve(static_cast<size_t>(array->size()));
        for (const QJsonValue& element : *array) {
            auto item = ValueReader<T>::read(element);
            if (!item)
                return std::nullopt;  // one bad element loses the whole list
            out.push_back(std::move(*item));
        }
        return out;
    }
};

template <class T>
std::optional<T> read(const QJsonValue& value) {
    return ValueReader<T>::read(value);
}

// Reads the members of one JSON object in order; the first failure clears `ok` and every later
// read is skipped. Callers check `ok` once at the end:
//     ObjectReader r(value);
//     v.id = r.get<qint64>("id"); ...
//     if (!r.ok) return std::nullopt;
class ObjectReader {
public:
    explicit ObjectReader(const QJsonValue& value) {
        if (value.isObject())
            object_ = value.toObject();
        else
            ok = false;
    }

    template <class T>
    T get(QLatin1StringView key) {
        if (!ok)
            return T{};
        auto value = ValueReader<T>::read(object_.value(key));
        if (!value) {
            ok = false;
            return T{};
        }
        return std::move(*value);
    }

    bool ok = true;

private:
    QJsonObject object_;
};

// Writers for the same types, so records write all their keys the way they read them.
inline QJsonValue write(qint64 value) {
    return QJsonValue(value);
}
inline QJsonValue write(const QString& value) {
    return QJsonValue(value);
}
template <class T>
QJsonValue write(const T& value) {
    if constexpr (requires { value.toJsonObject(); })
        return value.toJsonObject();
    else
        return value.toJson();
}
template <class T>
QJsonValue write(const std::vector<T>& values) {
    QJsonArray array;
    for (const T& value : values)
        array.append(write(value));
    return array;
}

// A record's members and their keys, listed once for reading and writing:
//     const auto fields = std::make_tuple(jsonread::field("id", &Cate::id), ...);
template <class R, class M>
struct Field {
    const char* key;
    M R::*member;
};
template <class R, class M>
constexpr Field<R, M> field(const char* key, M R::*member) {
    return {key, member};
}

// Reads every listed member, in order; the first failure gives nothing.
template <class R, class... M>
std::optional<R> readRecord(const QJsonValue& value, const std::tuple<Field<R, M>...>& fields) {
    ObjectReader r(value);
    R out{};
    std::apply(
        [&](const auto&... f) {
            ((out.*(f.member) = r.get<std::remove_cvref_t<decltype(out.*(f.member))>>(QLatin1StringView(f.key))), ...);
        },
        fields);
    if (!r.ok)
        return std::nullopt;
    return out;
}

// Writes every listed member under its key.
template <class R, class... M>
QJsonObject writeRecord(const R& record, const std::tuple<Field<R, M>...>& fields) {
    QJsonObject o;
    std::apply([&](const auto&... f) { (o.insert(QLatin1StringView(f.key), write(record.*(f.member))), ...); }, fields);
    return o;
}

// Reads a whole reply text into a record (or any readable type).
template <class T>
std::optional<T> fromJsonText(const QByteArray& utf8) {
    const auto document = parseDocument(utf8);
    if (!document)
        return std::nullopt;
    return ValueReader<T>::read(*document);
}

}  // namespace jsonread
