// The video sign: MD5 of the first 10 MiB, lower-case hex, nothing for a missing file.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "service/VideoSign.h"

namespace {

QByteArray randomBytes(qint64 count, quint32 seed) {
    QByteArray data(count, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (qint64 i = 0; i < count; ++i)
        data[i] = char(generator.generate() & 0xff);
    return data;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& data) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_EQ(file.write(data), data.size());
    return path;
}

QString md5Hex(const QByteArray& data) {
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

}  // namespace

TEST(VideoSign, DigestsAtMostTheFirstTenMebibytes) {
    QTemporaryDir dir;
    const QByteArray exact = randomBytes(10485760, 1);
    QByteArray longer = exact + QByteArray(1, 'x');
    QByteArray differsLate = exact + QByteArray(4096, 'y');

    const auto whole = videoSign(writeFile(dir, "exact.bin", exact));
    ASSERT_TRUE(whole);
    EXPECT_EQ(*whole, md5Hex(exact));

    const auto oneMore = videoSign(writeFile(dir, "longer.bin", longer));
    ASSERT_TRUE(oneMore);
    EXPECT_EQ(*oneMore, *whole);
    EXPECT_NE(*oneMore, md5Hex(longer));

    EXPECT_EQ(videoSign(writeFile(dir, "late.bin", differsLate)), whole);

    // Small files are digested whole; the text is always 32 lower-case hex digits.
    const QByteArray small = randomBytes(1000, 2);
    const auto smallSign = videoSign(writeFile(dir, "small.bin", small));
    ASSERT_TRUE(smallSign);
    EXPECT_EQ(*smallSign, md5Hex(small));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(*smallSign).hasMatch());

    // The file URL form gives the same value, also with a space in the path.
    const QString spaced = writeFile(dir, "with space.bin", small);
    EXPECT_EQ(videoSign(QUrl::fromLocalFile(spaced)), smallSign);
}

TEST(VideoSign, EmptyFileIsTheDigestOfNothing) {
    QTemporaryDir dir;
    EXPECT_EQ(videoSign(writeFile(dir, "empty.bin", {})), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
}

TEST(VideoSign, MissingOrNonRegularFilesHaveNoSignAndLogNothing) {
    QTemporaryDir dir;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(videoSign(dir.filePath("missing.mp4")));
    EXPECT_FALSE(videoSign(QUrl::fromLocalFile(dir.filePath("missing.mp4"))));
    EXPECT_FALSE(videoSign(QString()));
    EXPECT_FALSE(videoSign(dir.path()));  // a directory
    EXPECT_FALSE(videoSign(QUrl(QStringLiteral("http://127.0.0.1/x.mp4"))));
    // A link that leads nowhere is a missing file too.
    ASSERT_TRUE(QFile::link(dir.filePath("gone.mp4"), dir.filePath("dangling.mp4")));
    EXPECT_FALSE(videoSign(dir.filePath("dangling.mp4")));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(VideoSign, FollowsLinksToTheFile) {
    QTemporaryDir dir;
    const QByteArray data = randomBytes(5000, 3);
    const QString target = writeFile(dir, "target.bin", data);
    ASSERT_TRUE(QFile::link(target, dir.filePath("link.bin")));
    EXPECT_EQ(videoSign(dir.filePath("link.bin")), md5Hex(data));
}
