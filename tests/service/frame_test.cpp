// The request and reply frames against the openssl command, computed apart from our code.
#include "service/ServiceCrypto.h"
#include "support/ServiceStandIn.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <gtest/gtest.h>

namespace {
const QString kKeyHex = QStringLiteral("487134547a5238774c6d3256624e3663");  // "Hq4TzR8wLm2VbN6c"
const QString kIvHex = QStringLiteral("50643958734b33654a75374779413566");   // "Pd9XsK3eJu7GyA5f"

// Runs `openssl enc` over `input`; extra arguments pick the direction and padding.
QByteArray opensslEnc(const QByteArray& input, const QStringList& extra) {
    QProcess p;
    p.start(QStringLiteral("openssl"), QStringList{QStringLiteral("enc"), QStringLiteral("-aes-128-cbc"),
                                                   QStringLiteral("-K"), kKeyHex, QStringLiteral("-iv"), kIvHex} +
                                           extra);
    p.write(input);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    return p.readAllStandardOutput();
}
QByteArray opensslEncrypt(const QByteArray& plain) {
    return opensslEnc(plain, {QStringLiteral("-base64"), QStringLiteral("-A")}).trimmed();
}
QByteArray opensslDecrypt(const QByteArray& base64) {
    return opensslEnc(base64 + "\n", {QStringLiteral("-d"), QStringLiteral("-base64"), QStringLiteral("-A")});
}
}  // namespace

TEST(Frame, KeyAndIvAreTheServiceConstants) {
    EXPECT_EQ(service::cipherKey().toHex(), kKeyHex.toLatin1());
    EXPECT_EQ(service::cipherIv().toHex(), kIvHex.toLatin1());
}

TEST(Frame, KnownAnswerOfTheBaseInfoPayload) {
    const auto value = service::encryptPayload(QStringLiteral(R"({"ui":"00000000-0000-4000-8000-000000000000"})"));
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, QStringLiteral(
                          "Qju8A+K3VUroPep05wFmatVMBGiBcpcugBs0r7617lJ0wLOyI2aymMkS33nSHZ5xLI2NGDRlLJXiy8bihbTDwg=="));
}

TEST(Frame, RequestFrameMatchesOpensslBothWays) {
    const QStringList payloads = {
        QStringLiteral(R"({"ui":"U"})"),
        QStringLiteral(R"({"n":"1000", "ui":"AB","ct":"0","v":"1.0.0.1","type":"1","ismac":"1"})"),
        QStringLiteral(R"({"content":"back\\slash \"quoted\" héllo ✓"})"),
        QStringLiteral("exactly sixteen!"),  // a whole block gains a whole block of padding
        QString(),
    };
    for (const QString& payload : payloads) {
        const QByteArray escaped = service::quoteEscaped(payload).toUtf8();
        const auto ours = service::encryptPayload(payload);
        ASSERT_TRUE(ours);
        EXPECT_EQ(ours->toLatin1(), opensslEncrypt(escaped)) << qPrintable(payload);
        EXPECT_EQ(opensslDecrypt(ours->toLatin1()), escaped) << qPrintable(payload);
    }
}

TEST(Frame, QuoteStepTouchesOnlyQuotes) {
    EXPECT_EQ(service::quoteEscaped(QStringLiteral(R"(a"b\c\"d)")), QStringLiteral(R"(a\"b\c\\"d)"));
    EXPECT_EQ(service::quoteEscaped(QStringLiteral("no quotes \\n")), QStringLiteral("no quotes \\n"));
}

TEST(Frame, ReplyFrameDecodesOpensslCipherTexts) {
    const QByteArray json = R"({"status":0,"info":"","data":7})";
    const QByteArray pkcs7 = opensslEncrypt(json);
    EXPECT_EQ(pkcs7, QByteArray("fcLpvcldZwxKUzCmEXPb+r2+xldqEGSab49hP4In6vQ="));
    EXPECT_EQ(service::decryptReply(pkcs7), QString::fromUtf8(json));

    // Zero padding (no PKCS#7): the NULs are removed after decryption.
    QByteArray padded = json;
    padded.append(16 - padded.size() % 16, '\0');
    const QByteArray zero =
        opensslEnc(padded, {QStringLiteral("-nopad"), QStringLiteral("-base64"), QStringLiteral("-A")}).trimmed();
    EXPECT_EQ(service::decryptReply(zero), QString::fromUtf8(json));

    // NULs inside the text go too.
    const QByteArray withNuls = QByteArray("{\"a\":\0\"b\"}", 10);
    EXPECT_EQ(service::decryptReply(opensslEncrypt(withNuls)), QStringLiteral(R"({"a":"b"})"));

    // Non-ASCII text survives.
    const QByteArray utf8 = QStringLiteral(R"({"info":"grüße ✓"})").toUtf8();
    EXPECT_EQ(service::decryptReply(opensslEncrypt(utf8)), QString::fromUtf8(utf8));
}

TEST(Frame, ReplyFrameRejectsWhatIsNotACipherText) {
    EXPECT_FALSE(service::decryptReply("<html><body>502 Bad Gateway</body></html>"));
    EXPECT_FALSE(service::decryptReply(""));
    EXPECT_FALSE(service::decryptReply("AAAA"));                                            // 3 bytes: not whole blocks
    EXPECT_FALSE(service::decryptReply("fcLpvcldZwxKUzCm\nEXPb+r2+xldqEGSab49hP4In6vQ="));  // line break
    // Decrypts, but the bytes are not UTF-8.
    const QByteArray notUtf8 = opensslEncrypt(QByteArray("\xff\xfe\xfd", 3));
    EXPECT_FALSE(service::decryptReply(notUtf8));
}

TEST(Frame, StandInDecodesTheRequestFrameAndEncryptsLikeOpenssl) {
    const QString payload = QStringLiteral(R"({"ui":"X", "content":"a\\\"b"})");
    const auto value = service::encryptPayload(payload);
    ASSERT_TRUE(value);
    EXPECT_EQ(testsupport::ServiceStandIn::decryptRequestValue(value->toLatin1()), payload);
    EXPECT_EQ(testsupport::ServiceStandIn::encryptReplyBody(R"({"status":0,"info":"","data":7})"),
              QByteArray("fcLpvcldZwxKUzCmEXPb+r2+xldqEGSab49hP4In6vQ="));
}

TEST(Frame, FormBodyEscapesBase64Characters) {
    EXPECT_EQ(service::formBody(501, QStringLiteral("ab+/cd==")), QByteArray("f=501&i=ab%2B%2Fcd%3D%3D"));
    const auto fields = testsupport::ServiceStandIn::parseForm(service::formBody(21, QStringLiteral("x+y/z=")));
    ASSERT_EQ(fields.size(), 2);
    EXPECT_EQ(fields[0], qMakePair(QByteArray("f"), QByteArray("21")));
    EXPECT_EQ(fields[1], qMakePair(QByteArray("i"), QByteArray("x+y/z=")));
}

TEST(Frame, JsonStringContentEscapesAsJsonRequires) {
    const QString raw = QStringLiteral("q\" b\\ n\n t\t r\r f\f b\b ctl\x01 é ✓");
    const QString escaped = service::jsonStringContent(raw);
    EXPECT_EQ(escaped, QStringLiteral("q\\\" b\\\\ n\\n t\\t r\\r f\\f b\\b ctl\\u0001 é ✓"));
    const QJsonDocument doc = QJsonDocument::fromJson(
        (QStringLiteral("[\"") + escaped + QStringLiteral("\"]")).toUtf8());
    ASSERT_TRUE(doc.isArray());
    EXPECT_EQ(doc.array().at(0).toString(), raw);
}
