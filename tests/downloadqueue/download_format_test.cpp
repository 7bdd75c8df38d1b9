// The persisted forms and the naming rules of a download, without any transfer.
#include "DownloadTestSupport.h"

#include "service/DownloadItem.h"
#include "service/DownloadPaths.h"
#include "service/DownloadStore.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

using namespace dltest;

namespace {
const QString kSign = QStringLiteral("0123456789abcdef0123456789abcdef");

DownloadStore storeOf(const QString& title, std::optional<QUrl> cache) {
    VideoDetail v = video(kSign, QStringLiteral("http://127.0.0.1:1/a b.mp4"));
    v.title = title;
    return DownloadStore{v, std::move(cache)};
}
}  // namespace

TEST(DownloadFormat, ListRoundTripsAndEveryFaultReadsAsEmpty) {
    const std::vector<DownloadStore> items{
        storeOf(QStringLiteral("first \"quoted\" ünïcode"),
                QUrl::fromLocalFile(QStringLiteral("/tmp/Application Support/Ab3dE9xYz1"))),
        storeOf(QStringLiteral("second"), std::nullopt)};
    const QByteArray encoded = encodeDownloadList(items);
    const auto decoded = decodeDownloadList(encoded);
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0].videoInfo.toJsonObject(), items[0].videoInfo.toJsonObject());
    EXPECT_EQ(decoded[0].cacheURL, items[0].cacheURL);
    EXPECT_FALSE(decoded[1].cacheURL.has_value());
    // The URL is stored fully encoded, so a space never appears raw.
    EXPECT_TRUE(encoded.contains("Application%20Support"));
    // No status is stored: a restored item always starts as `wait`.
    EXPECT_FALSE(encoded.contains("status"));

    const QJsonObject root = QJsonDocument::fromJson(encoded).object();
    EXPECT_EQ(root.value(QStringLiteral("version")).toInteger(), 1);

    for (const QByteArray& bad :
         {QByteArray(), QByteArray("   "), QByteArray("garbage\x01\x02"), QByteArray("[]"),
          QByteArray("{\"version\":2,\"items\":[]}"), QByteArray("{\"items\":[]}"),
          QByteArray("{\"version\":1,\"items\":{}}"),
          QByteArray("{\"version\":1,\"items\":[{\"cacheURL\":\"file:///x\"}]}"), QByteArray("bplist00\xd4\x01\x02")}) {
        EXPECT_TRUE(decodeDownloadList(bad).empty()) << bad.toStdString();
    }
    // One incomplete record, or a cacheURL that is not text, loses the whole list.
    QJsonObject broken = root;
    QJsonArray array = broken.value(QStringLiteral("items")).toArray();
    QJsonObject element = array[1].toObject();
    QJsonObject info = element.value(QStringLiteral("videoInfo")).toObject();
    info.remove(QStringLiteral("hp"));
    element.insert(QStringLiteral("videoInfo"), info);
    array[1] = element;
    broken.insert(QStringLiteral("items"), array);
    EXPECT_TRUE(decodeDownloadList(QJsonDocument(broken).toJson()).empty());
    QJsonObject badCache = root;
    QJsonArray cacheArray = badCache.value(QStringLiteral("items")).toArray();
    QJsonObject cacheElement = cacheArray[0].toObject();
    cacheElement.insert(QStringLiteral("cacheURL"), 5);
    cacheArray[0] = cacheElement;
    badCache.insert(QStringLiteral("items"), cacheArray);
    EXPECT_TRUE(decodeDownloadList(QJsonDocument(badCache).toJson()).empty());
}

TEST(DownloadFormat, ResumeDescriptorRoundTripsAndRefusesForeignPaths) {
    const ResumeData data{QUrl(QStringLiteral("http://127.0.0.1:8080/files/a%20b.mp4")),
                          QStringLiteral("Ab3dE9xYz1.part"), QStringLiteral("\"abc\""),
                          QStringLiteral("Tue, 09 Dec 2025 10:00:00 GMT"), 3000000};
    const auto back = decodeResumeData(encodeResumeData(data));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, data);

    auto with = [&](auto change) {
        ResumeData copy = data;
        change(copy);
        return decodeResumeData(encodeResumeData(copy));
    };
    // The partial must be a plain name of our own form: never a path elsewhere.
    EXPECT_FALSE(with([](ResumeData& d) { d.partial = QStringLiteral("../../etc/passwd"); }));
    EXPECT_FALSE(with([](ResumeData& d) { d.partial = QStringLiteral("/tmp/Ab3dE9xYz1.part"); }));
    EXPECT_FALSE(with([](ResumeData& d) { d.partial = QStringLiteral("Ab3dE9xYz1"); }));
    EXPECT_FALSE(with([](ResumeData& d) { d.url = QUrl(QStringLiteral("file:///etc/passwd")); }));
    // Without a validator the next range could belong to another file.
    EXPECT_FALSE(with([](ResumeData& d) {
        d.etag.clear();
        d.lastModified.clear();
    }));
    EXPECT_TRUE(with([](ResumeData& d) { d.etag.clear(); }));
    EXPECT_FALSE(decodeResumeData("not json"));
    EXPECT_FALSE(decodeResumeData("{\"version\":2}"));
}

TEST(DownloadFormat, NamesAddressesAndStatuses) {
    EXPECT_EQ(DownloadItem::fileExtension(QStringLiteral("http://h/v.mov")), QStringLiteral("mov"));
    EXPECT_EQ(DownloadItem::fileExtension(QStringLiteral("http://h/v.MOV")), QStringLiteral("mp4"));
    EXPECT_EQ(DownloadItem::fileExtension(QStringLiteral("http://h/v.mp4")), QStringLiteral("mp4"));
    EXPECT_EQ(DownloadItem::fileExtension(QStringLiteral("http://h/v.mov?x=1")), QStringLiteral("mp4"));
    EXPECT_EQ(DownloadItem::fileExtension(QStringLiteral("http://h/v.webm")), QStringLiteral("mp4"));

    EXPECT_TRUE(DownloadItem::isValidSign(kSign));
    for (const char* bad : {"../../x", "0123456789ABCDEF0123456789abcdef", "0123456789abcdef0123456789abcde",
                            "0123456789abcdef0123456789abcdef0", "0123456789abcdef0123456789abcde/", ""})
        EXPECT_FALSE(DownloadItem::isValidSign(QString::fromLatin1(bad))) << bad;

    const auto spaced = DownloadItem::downloadAddress(QStringLiteral("http://127.0.0.1:9/my video.mp4"));
    ASSERT_TRUE(spaced);
    EXPECT_EQ(spaced->toString(QUrl::FullyEncoded), QStringLiteral("http://127.0.0.1:9/my%20video.mp4"));
    EXPECT_TRUE(DownloadItem::downloadAddress(QStringLiteral("https://cdn.example/v.mp4?sig=a%2Bb")));
    for (const char* refused : {"file:///etc/passwd", "ftp://h/v.mp4", "", "no address at all", "http:///nohost"})
        EXPECT_FALSE(DownloadItem::downloadAddress(QString::fromLatin1(refused))) << refused;

    EXPECT_EQ(itemStatusFromInt(0), ItemStatus::wait);
    EXPECT_EQ(itemStatusFromInt(4), ItemStatus::finish);
    EXPECT_FALSE(itemStatusFromInt(5));
    EXPECT_FALSE(itemStatusFromInt(-1));

    const DownloadItem movie(video(kSign, QStringLiteral("http://h/v.mov")), std::nullopt);
    EXPECT_EQ(movie.downloadDestination(), QDir(downloadVideoDirectoryPath()).filePath(kSign + QStringLiteral(".mov")));
    EXPECT_EQ(movie.status, ItemStatus::wait);
    EXPECT_EQ(movie.lastStatus, ItemStatus::wait);
    EXPECT_EQ(movie.downloadedSize, 0);
}
