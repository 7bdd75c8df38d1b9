#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

// The service's frame: every request payload is quote-escaped JSON text, encrypted with
// AES-128-CBC (PKCS#7) under a fixed key and IV, sent as Base64 in the form field "i".
// Replies are Base64 of the same cipher over plain JSON text.
namespace service {

// Fixed cipher parameters shared with the service.
QByteArray cipherKey();
QByteArray cipherIv();

// Puts a backslash before every double quote and changes nothing else.
QString quoteEscaped(const QString& payload);

// Writes a text as the content of a JSON string (without the surrounding quotes): quote,
// backslash and control characters are escaped, everything else stays as it is.
QString jsonStringContent(const QString& text);

// AES-128-CBC with PKCS#7 padding under the service key; absent only when the cipher fails.
std::optional<QByteArray> encrypt(const QByteArray& plain);

// Decrypts a cipher text whose length is a non-zero multiple of 16. The padding is removed
// only when it is valid PKCS#7, so zero-padded texts come back whole (their NULs are
// dropped by `decryptReply`).
std::optional<QByteArray> decrypt(const QByteArray& cipher);

// Request side: quote step, cipher, Base64 (standard alphabet, "=" padding, one line).
std::optional<QString> encryptPayload(const QString& payload);

// Reply side: strict Base64, decrypt, strict UTF-8, every U+0000 removed.
std::optional<QString> decryptReply(const QByteArray& body);

// The URL-encoded form body "f=<code>&i=<value>" with every reserved character of the value
// percent-escaped (so "+", "/" and "=" of Base64 arrive intact).
QByteArray formBody(int code, const QString& value);

}  // namespace service
