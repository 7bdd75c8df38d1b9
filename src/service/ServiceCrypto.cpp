#include "service/ServiceCrypto.h"

#include <QStringDecoder>
#include <QUrl>
#include <memory>
#include <openssl/evp.h>

namespace service {
namespace {
struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

// One pass of EVP over the whole input; padding on for encryption, off for decryption.
std::optional<QByteArray> runCipher(const QByteArray& input, bool encrypting) {
    CipherContext ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return std::nullopt;
    const QByteArray key = cipherKey();
    const QByteArray iv = cipherIv();
    if (EVP_CipherInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr,
                          reinterpret_cast<const unsigned char*>(key.constData()),
                          reinterpret_cast<const unsigned char*>(iv.constData()), encrypting ? 1 : 0) != 1)
        return std::nullopt;
    if (EVP_CIPHER_CTX_set_padding(ctx.get(), encrypting ? 1 : 0) != 1)
        return std::nullopt;
    QByteArray out(input.size() + 16, Qt::Uninitialized);
    int written = 0;
    if (EVP_CipherUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &written,
                         reinterpret_cast<const unsigned char*>(input.constData()), int(input.size())) != 1)
        return std::nullopt;
    int tail = 0;
    if (EVP_CipherFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + written, &tail) != 1)
        return std::nullopt;
    out.truncate(written + tail);
    return out;
}
}  // namespace

QByteArray cipherKey() {
    return QByteArrayLiteral("Hq4TzR8wLm2VbN6c");
}

QByteArray cipherIv() {
    return QByteArrayLiteral("Pd9XsK3eJu7GyA5f");
}

QString quoteEscaped(const QString& payload) {
    QString out = payload;
    out.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return out;
}

QString jsonStringContent(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\b': out += QLatin1String("\\b"); break;
        case '\f': out += QLatin1String("\\f"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out;
}

std::optional<QByteArray> encrypt(const QByteArray& plain) {
    return runCipher(plain, true);
}

std::optional<QByteArray> decrypt(const QByteArray& cipher) {
    if (cipher.isEmpty() || cipher.size() % 16 != 0)
        return std::nullopt;
    std::optional<QByteArray> plain = runCipher(cipher, false);
    if (!plain || plain->isEmpty())
        return plain;
    const int pad = static_cast<unsigned char>(plain->back());
    if (pad >= 1 && pad <= 16 && pad <= plain->size()) {
        bool valid = true;
        for (qsizetype i = plain->size() - pad; i < plain->size(); ++i)
            valid = valid && static_cast<unsigned char>(plain->at(i)) == pad;
        if (valid)
            plain->chop(pad);
    }
    return plain;
}

std::optional<QString> encryptPayload(const QString& payload) {
    const std::optional<QByteArray> cipher = encrypt(quoteEscaped(payload).toUtf8());
    if (!cipher)
        return std::nullopt;
    return QString::fromLatin1(cipher->toBase64());
}

std::optional<QString> decryptReply(const QByteArray& body) {
    const QByteArray::FromBase64Result decoded = QByteArray::fromBase64Encoding(
        body, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    const std::optional<QByteArray> plain = decrypt(decoded.decoded);
    if (!plain)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(*plain);
    if (utf8.hasError())
        return std::nullopt;
    text.remove(QChar(u'\0'));
    return text;
}

QByteArray formBody(int code, const QString& value) {
    return QByteArrayLiteral("f=") + QByteArray::number(code) + QByteArrayLiteral("&i=") +
           QUrl::toPercentEncoding(value);
}
}  // namespace service
