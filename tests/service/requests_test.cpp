// Every request over loopback as the stand-in decodes it, and what each reply handler does.
#include "ServiceFixture.h"

#include "platform/DefaultsSuite.h"
#include "platform/NotificationCenter.h"
#include "service/ServiceCrypto.h"
#include "shared/Preferences.h"
#include "support/ProcessHelpers.h"
#include "support/TestPictures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

using testsupport::ScriptedReply;

namespace {
QByteArray videoJson(qint64 id, const QString& sign) {
    return QStringLiteral(
               R"({"id":%1,"sign":"%2","preurl":"p","title":"t","url":"https://h/v.mp4","description":"d","time":12000,)"
               R"("size":100,"imgurl":"i","imgsize":1,"tags":"a","ratio":"16:9","width":1920,"height":1080,"frame":30,)"
               R"("rate":1000,"audio":0,"uptime":"u","down":0,"view":0,"author":"au","avatar":"av","avatarsize":0,"hp":"h","upcount":0})")
        .arg(id)
        .arg(sign)
        .toUtf8();
}
QByteArray envelope(const QByteArray& data) {
    return R"({"status":0,"info":"ok","data":)" + data + "}";
}
const QByteArray kHeartbeat = envelope(
    R"({"ct":1,"time":{"st":1,"vt":[1,2],"tt":3},"msg":{"msg_bottom":{"msgid":1,"msg":"News","url":"https://x","color":"#ff0000","back":0},)"
    R"("msg_top":{"msgid":2,"tittle":"T","url":"u","color":{"show":"a","hover":"b","click":"c"},"point":0,"type":0,"back":0,"width":1,"height":1}},)"
    R"("upgrade":[],"speedlimit":0})");

// Counts the in-process notifications while it lives.
struct NotificationLog {
    QStringList names;
    QList<QVariantMap> infos;
    DisposablePtr a, b, c;
    NotificationLog() {
        auto add = [this](const QString& name) {
            return platform::NotificationCenter::defaultCenter().addObserver(
                name, nullptr, [this, name](const QVariantMap& info) { names << name, infos << info; });
        };
        a = add(WebModel::heartbeatUpdatedNotification);
        b = add(WebModel::newFeatureUpdatedNotification);
        c = add(WebModel::leafletUpdatedNotification);
    }
};
}  // namespace

// ---- Exact payloads and headers ----

TEST_F(ServiceTest, EveryRequestCarriesItsExactPayloadHeadersAndEndpoint) {
    const QString U = ui();
    const QString V = version();
    int done = 0;
    auto count = [&done](auto&&...) { ++done; };

    model->requestBaseInfo(count);
    model->reportDownloadStatus(42, 1, count);
    model->requestVideoDetail(QStringLiteral("0123456789abcdef0123456789abcdef"), count);
    model->requestKeywords(QStringLiteral("sea \"waves\""), count);
    model->sendHeartbeat(WebModel::HeartBeatType::Boot, QStringLiteral("1000"), count);
    model->reportInstall(WebModel::InstallWay::Update, QStringLiteral("1000"));
    model->requestGuide();
    model->sendFeedback(3, QStringLiteral("hi"), QStringLiteral("me@x"), count);
    ASSERT_TRUE(standIn.waitForRequests(8));
    ASSERT_TRUE(waitFor([&] { return done == 6; }));

    const QMap<int, QPair<QString, QString>> expected = {
        {501, {"/src.html", QStringLiteral(R"({"ui":"%1"})").arg(U)}},
        {503, {"/src.html", QStringLiteral(R"({"ui":"%1", "vid":42, "status":1})").arg(U)}},
        {504, {"/src.html", QStringLiteral(R"({"ui":"%1", "sign":"0123456789abcdef0123456789abcdef"})").arg(U)}},
        {505,
         {"/src.html", QStringLiteral(R"({"ui":"%1", "keywords":"%2"})")
                           .arg(U, QString::fromLatin1(QByteArray("sea \"waves\"").toBase64()))}},
        {21,
         {"/inst.html",
          QStringLiteral(R"({"n":"1000", "ui":"%1","ct":"0","v":"%2","type":"1","ismac":"1"})").arg(U, V)}},
        {13, {"/inst.html", QStringLiteral(R"({"n":"1000","ui":"%1","v":"%2","type":1})").arg(U, V)}},
        {214, {"/inst.html", QStringLiteral(R"({"ui":"%1","v":"%2"})").arg(U, V)}},
        {26,
         {"/inst.html",
          QStringLiteral(R"({"ui":"%1","type":"3","content":"hi","contact":"me@x", "lng":"en-US"})").arg(U)}},
    };
    const auto all = standIn.requests();
    ASSERT_EQ(all.size(), expected.size());
    for (const auto& r : all) {
        ASSERT_TRUE(r.code);
        ASSERT_TRUE(expected.contains(*r.code)) << *r.code;
        EXPECT_EQ(r.http.method, "POST");
        EXPECT_EQ(r.http.path, expected[*r.code].first) << *r.code;
        EXPECT_EQ(r.plaintext, expected[*r.code].second) << *r.code;
        EXPECT_TRUE(r.json) << *r.code;
        EXPECT_EQ(r.http.header("User-Agent"), ("MACTavvel" + V).toUtf8());
        EXPECT_EQ(r.http.header("Content-Type"), "application/x-www-form-urlencoded; charset=utf-8");
        EXPECT_TRUE(r.http.body.startsWith("f=" + QByteArray::number(*r.code) + "&i="));
    }
    // The identifier is the upper-case UUID kept in the shared suite.
    EXPECT_EQ(U.size(), 36);
    EXPECT_EQ(U, U.toUpper());
    EXPECT_EQ(Preferences::sharedDefaults().string(QStringLiteral("uuid")), U);
}

TEST_F(ServiceTest, PlusSlashAndEqualsArrivePercentEscaped) {
    // Find a sign whose cipher text holds all three characters.
    QString sign;
    QString value;
    for (int i = 0; i < 1000 && sign.isEmpty(); ++i) {
        const QString candidate = QString::number(i).repeated(3);
        const QString b64 = *service::encryptPayload(WebModel::videoDetailPayload(ui(), candidate));
        if (b64.contains(QLatin1Char('+')) && b64.contains(QLatin1Char('/')) && b64.contains(QLatin1Char('='))) {
            sign = candidate;
            value = b64;
        }
    }
    ASSERT_FALSE(sign.isEmpty());
    bool called = false;
    model->requestVideoDetail(sign, [&](const auto&) { called = true; });
    ASSERT_TRUE(waitFor([&] { return called; }));
    const auto r = only();
    EXPECT_TRUE(r.http.body.contains("%2B"));
    EXPECT_TRUE(r.http.body.contains("%2F"));
    EXPECT_TRUE(r.http.body.contains("%3D"));
    const QByteArray i = r.http.body.mid(r.http.body.indexOf("&i=") + 3);
    EXPECT_FALSE(i.contains('+') || i.contains('/') || i.contains('='));
    EXPECT_EQ(r.encrypted, value.toLatin1());
    EXPECT_EQ(r.json->value("sign").toString(), sign);
}

TEST_F(ServiceTest, VideoListPayloadHasTheSixKeysAndPassesTheStatus) {
    standIn.setReply(502, ScriptedReply::encrypted(envelope(R"({"pages":3,"page":1,"total":2,"count":2,"vlist":[)" +
                                                            videoJson(7, "s1") + "," + videoJson(8, "s2") + "]}"),
                                                   404));
    VideoListRequest request(ui());
    request.cate = 5;
    request.keywords = VideoListRequest::base64Utf8(QStringLiteral("a+b"));
    std::optional<VideoListResponse> got;
    std::optional<int> status;
    bool called = false;
    model->requestVideoList(request, [&](const auto& reply, std::optional<int> code) {
        called = true;
        got = reply;
        status = code;
    });
    ASSERT_TRUE(model->latestRequest());  // set before anything is sent
    EXPECT_EQ(model->latestRequest()->cate, 5);
    ASSERT_TRUE(waitFor([&] { return called; }));
    ASSERT_TRUE(got);  // a 404 with a valid body is used
    EXPECT_EQ(status, 404);
    ASSERT_EQ(got->data.vlist.size(), 2u);
    EXPECT_EQ(got->data.vlist[1].id, 8);

    const auto r = only();
    ASSERT_TRUE(r.json);
    EXPECT_EQ(r.json->keys(), (QStringList{"author", "cate", "keywords", "page", "sort", "ui"}));
    EXPECT_EQ(r.json->value("ui").toString(), ui());
    EXPECT_EQ(r.json->value("cate").toInteger(), 5);
    EXPECT_EQ(r.json->value("page").toInteger(), 1);
    EXPECT_EQ(r.json->value("sort").toInteger(), 1);
    EXPECT_EQ(r.json->value("keywords").toString(), QStringLiteral("YSti"));
    EXPECT_EQ(r.json->value("author").toString(), QString());
    EXPECT_FALSE(r.plaintext->contains(QLatin1Char(' ')));
}

TEST_F(ServiceTest, FeedbackTextWithQuotesBackslashesAndControlsIsValidJson) {
    const QString content = QStringLiteral("He said \"no\" \\o/\nline2\ttab\x01 café");
    const QString contact = QStringLiteral("\"me\"\\");
    bool called = false;
    model->sendFeedback(1, content, contact, [&](const std::optional<QString>& text) {
        called = true;
        EXPECT_EQ(text, QStringLiteral(R"({"status":0,"info":"","data":""})"));
    });
    ASSERT_TRUE(waitFor([&] { return called; }));
    const auto r = only();
    ASSERT_TRUE(r.json) << qPrintable(r.plaintext.value_or("?"));
    EXPECT_EQ(r.json->value("content").toString(), content);
    EXPECT_EQ(r.json->value("contact").toString(), contact);
    EXPECT_EQ(r.json->value("type").toString(), "1");
    EXPECT_EQ(r.json->value("lng").toString(), "en-US");
}

// ---- Reply path ----

TEST_F(ServiceTest, ReplyPaddedWithNulsDecodes) {
    standIn.setReply(505, ScriptedReply::zeroPadded(envelope(R"(["sea","sun"])")));
    std::optional<std::vector<QString>> words;
    bool called = false;
    model->requestKeywords(QStringLiteral("s"), [&](const auto& w) {
        called = true;
        words = w;
    });
    ASSERT_TRUE(waitFor([&] { return called; }));
    ASSERT_TRUE(words);
    EXPECT_EQ(*words, (std::vector<QString>{"sea", "sun"}));
}

TEST_F(ServiceTest, HtmlBodyOrBrokenExchangeGivesNoResult) {
    const QList<ScriptedReply> replies = {
        ScriptedReply::raw("<html><body>Internal error</body></html>", 500),
        ScriptedReply::raw("not base64 at all", 200),
        ScriptedReply::encrypted(R"({"status":0,"info":"","data":null})"),  // decrypts, does not decode
    };
    for (const ScriptedReply& reply : replies) {
        standIn.queueReply(504, reply);
        bool called = false;
        std::optional<VideoDetail> got = VideoDetail{};
        model->requestVideoDetail(QStringLiteral("x"), [&](const auto& d) {
            called = true;
            got = d;
        });
        ASSERT_TRUE(waitFor([&] { return called; }));
        EXPECT_FALSE(got);
    }
}

TEST_F(ServiceTest, DroppedConnectionGivesNoResult) {
    standIn.setReply(504, ScriptedReply::drop());
    bool called = false;
    model->requestVideoDetail(QStringLiteral("x"), [&](const auto& d) {
        called = true;
        EXPECT_FALSE(d);
    });
    ASSERT_TRUE(waitFor([&] { return called; }));
}

TEST_F(ServiceTest, RefusedConnectionGivesNoResultAtOnce) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    WebModel offline(QStringLiteral("http://127.0.0.1:%1").arg(port), false);
    bool called = false;
    std::optional<int> status = 0;
    QElapsedTimer clock;
    clock.start();
    offline.requestVideoList(VideoListRequest(ui()), [&](const auto& reply, std::optional<int> code) {
        called = true;
        EXPECT_FALSE(reply);
        status = code;
    });
    ASSERT_TRUE(waitFor([&] { return called; }, 3000));
    EXPECT_FALSE(status);
    EXPECT_LT(clock.elapsed(), 1500);
}

TEST_F(ServiceTest, StalledServerGivesNoResultWithinTheTimeOut) {
    standIn.setReply(501, ScriptedReply::stall());
    bool called = false;
    QElapsedTimer clock;
    clock.start();
    model->requestBaseInfo([&](const auto& info) {
        called = true;
        EXPECT_FALSE(info);
    });
    // The two-second time-out, told apart from an answer at once and from a much longer wait;
    // the upper bound leaves room for a timer that fires late on a loaded machine.
    ASSERT_TRUE(waitFor([&] { return called; }, 8000));
    EXPECT_GE(clock.elapsed(), 1800);
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_FALSE(model->baseInfo());
}

// ---- Request catalogue ----

TEST_F(ServiceTest, CachedBaseInfoCompletesAtOnceAndSendsNothing) {
    standIn.setReply(
        501, ScriptedReply::encrypted(envelope(R"({"cate":[{"id":3,"title":"Nature"}],"hottags":["a"],"hotkey":[]})")));
    bool first = false;
    model->requestBaseInfo([&](const auto& info) {
        first = true;
        ASSERT_TRUE(info);
        EXPECT_EQ(info->data.cate.at(0).title, "Nature");
    });
    ASSERT_TRUE(waitFor([&] { return first; }));
    ASSERT_TRUE(model->baseInfo());
    bool second = false;
    model->requestBaseInfo([&](const auto& info) {
        second = true;
        EXPECT_TRUE(info);
    });
    EXPECT_TRUE(second);  // before returning
    QTest::qWait(100);
    EXPECT_EQ(standIn.requestCount(), 1);
}

TEST_F(ServiceTest, BaseInfoAskedTwiceAtOnceSendsOneRequest) {
    standIn.setReply(501,
                     ScriptedReply::encrypted(envelope(R"({"cate":[],"hottags":["a"],"hotkey":[]})")).delayed(100));
    int answered = 0;
    for (int i = 0; i < 2; ++i)
        model->requestBaseInfo([&](const auto& info) { answered += info && info->data.hottags.size() == 1; });
    ASSERT_TRUE(waitFor([&] { return answered == 2; }));
    QTest::qWait(100);
    EXPECT_EQ(standIn.requestCount(), 1);
}

TEST_F(ServiceTest, UndecodableBaseInfoClearsTheCacheSoTheNextCallAsksAgain) {
    standIn.setReply(501, ScriptedReply::encrypted(R"({"status":0,"info":"","data":{"cate":[]}})"));
    int calls = 0;
    model->requestBaseInfo([&](const auto& info) {
        ++calls;
        EXPECT_FALSE(info);
    });
    ASSERT_TRUE(waitFor([&] { return calls == 1; }));
    model->requestBaseInfo([&](const auto&) { ++calls; });
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(waitFor([&] { return calls == 2; }));
    EXPECT_EQ(standIn.requestCount(), 2);
}

TEST_F(ServiceTest, FailedNextPageLowersOnlyItsOwnRaisedPage) {
    standIn.setReply(502, ScriptedReply::raw("<html/>", 500));
    VideoListRequest request(ui());
    model->setLatestRequest(request);
    model->latestRequest()->page += 1;  // as the online list does
    bool called = false;
    model->requestNextVideoPage(*model->latestRequest(), [&](const auto& page) {
        called = true;
        EXPECT_FALSE(page);
    });
    ASSERT_TRUE(waitFor([&] { return called; }));
    EXPECT_EQ(model->latestRequest()->page, 1);

    // A newer category choice while the next page is on its way: its page 1 stays 1.
    standIn.setReply(502, ScriptedReply::raw("<html/>", 500).delayed(300));
    model->latestRequest()->page += 1;
    called = false;
    model->requestNextVideoPage(*model->latestRequest(), [&](const auto&) { called = true; });
    VideoListRequest other(ui());
    other.cate = 9;
    model->requestVideoList(other, {});
    ASSERT_TRUE(waitFor([&] { return called; }));
    EXPECT_EQ(model->latestRequest()->cate, 9);
    EXPECT_EQ(model->latestRequest()->page, 1);

    // A failed page 1 is never lowered to 0.
    called = false;
    model->requestNextVideoPage(*model->latestRequest(), [&](const auto&) { called = true; });
    ASSERT_TRUE(waitFor([&] { return called; }));
    EXPECT_EQ(model->latestRequest()->page, 1);
}

TEST_F(ServiceTest, SucceededNextPageKeepsTheRaisedPage) {
    standIn.setReply(502, ScriptedReply::encrypted(envelope(R"({"pages":3,"page":2,"total":1,"count":1,"vlist":[)" +
                                                            videoJson(1, "s") + "]}")));
    model->setLatestRequest(VideoListRequest(ui()));
    model->latestRequest()->page = 2;
    std::optional<TotalVideo> got;
    bool called = false;
    model->requestNextVideoPage(*model->latestRequest(), [&](const auto& page) {
        called = true;
        got = page;
    });
    ASSERT_TRUE(waitFor([&] { return called; }));
    ASSERT_TRUE(got);
    EXPECT_EQ(got->page, 2);
    EXPECT_EQ(model->latestRequest()->page, 2);
}

TEST_F(ServiceTest, VideoDetailFromAWorkerThreadCompletesOnTheMainThread) {
    standIn.setReply(504, ScriptedReply::encrypted(envelope(videoJson(11, "abc"))));
    std::optional<VideoDetail> got;
    bool onMain = false;
    bool called = false;
    QThread* worker = QThread::create([&] {
        model->requestVideoDetail(QStringLiteral("abc"), [&](const auto& d) {
            onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
            got = d;
            called = true;
        });
    });
    worker->start();
    ASSERT_TRUE(waitFor([&] { return called; }));
    worker->wait();
    delete worker;
    EXPECT_TRUE(onMain);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->id, 11);
}

TEST_F(ServiceTest, HeartbeatStoresTheReplyThenNotifiesEvenWhenItDoesNotDecode) {
    NotificationLog log;
    standIn.queueReply(21, ScriptedReply::encrypted(kHeartbeat));
    standIn.queueReply(21, ScriptedReply::encrypted(R"({"status":0,"info":"","data":{}})"));

    bool heldAtCompletion = false;
    bool called = false;
    model->sendHeartbeat(WebModel::HeartBeatType::Boot, QStringLiteral("1000"), [&](const auto& r) {
        called = true;
        heldAtCompletion = r && model->heartbeatResponse() && log.names.isEmpty();
    });
    ASSERT_TRUE(waitFor([&] { return called; }));
    EXPECT_TRUE(heldAtCompletion);
    ASSERT_TRUE(model->heartbeatResponse());
    EXPECT_EQ(model->heartbeatResponse()->data.msg.msgBottom.msg, "News");
    EXPECT_EQ(log.names, QStringList{WebModel::heartbeatUpdatedNotification});

    model->sendHeartbeat(WebModel::HeartBeatType::MidNight, QStringLiteral("1000"));
    ASSERT_TRUE(waitFor([&] { return log.names.size() == 2; }));
    EXPECT_FALSE(model->heartbeatResponse());

    // A failed exchange posts nothing. (Every attempt drops: the network layer resends once
    // when a kept-alive connection closes.)
    standIn.setReply(21, ScriptedReply::drop());
    called = false;
    model->sendHeartbeat(WebModel::HeartBeatType::HeartBeat, QStringLiteral("1000"), [&](const auto& r) {
        called = true;
        EXPECT_FALSE(r);
    });
    ASSERT_TRUE(waitFor([&] { return called; }));
    QTest::qWait(50);
    EXPECT_EQ(log.names.size(), 2);
    const auto all = standIn.requests();
    ASSERT_GE(all.size(), 3);
    EXPECT_EQ(all[1].json->value("type").toString(), "2");
    EXPECT_EQ(all[2].json->value("type").toString(), "3");
}

TEST_F(ServiceTest, GuideRepliesAlwaysPostBothNotificationsLeafletWithItsPictures) {
    NotificationLog log;
    const QByteArray image = "data:image/png;base64," + testsupport::pngBase64(Qt::red);
    standIn.queueReply(214, ScriptedReply::encrypted(envelope(
                                R"({"leftPanel":[")" + image +
                                R"("],"leftPanelUrl":["https://example.invalid/a"],"window":[],"windowUrl":[],)"
                                R"("browser":[],"browserUrl":[],"newFeature":[],"newFeatureUrl":[]})")));
    standIn.queueReply(214, ScriptedReply::raw("<html/>", 502));

    model->requestGuide();
    ASSERT_TRUE(waitFor([&] { return log.names.size() == 2; }));
    EXPECT_EQ(log.names, (QStringList{WebModel::newFeatureUpdatedNotification, WebModel::leafletUpdatedNotification}));
    ASSERT_TRUE(model->guideModel());
    ASSERT_TRUE(log.infos[1].contains(WebModel::leftPanelUserInfoKey));
    const auto pictures = log.infos[1].value(WebModel::leftPanelUserInfoKey).value<ImageUrlMap>();
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].first.size(), QSize(4, 4));
    EXPECT_EQ(pictures[0].second, QUrl("https://example.invalid/a"));

    model->requestGuide();
    ASSERT_TRUE(waitFor([&] { return log.names.size() == 4; }));
    EXPECT_EQ(log.names.mid(2),
              (QStringList{WebModel::newFeatureUpdatedNotification, WebModel::leafletUpdatedNotification}));
    EXPECT_FALSE(model->guideModel());
    EXPECT_TRUE(log.infos[3].isEmpty());
}

TEST_F(ServiceTest, InstallReplyDataBecomesCtOfLaterHeartbeats) {
    standIn.queueReply(13, ScriptedReply::encrypted(R"({"status":0,"info":"","data":"8"})"));  // text: ignored
    standIn.queueReply(13, ScriptedReply::encrypted(R"({"status":0,"info":"","data":7.5})"));  // fraction: ignored
    standIn.queueReply(13, ScriptedReply::encrypted(R"({"status":0,"info":"","data":7})"));
    // The session's `finished` comes after the reply's own handler has run.
    int handled = 0;
    QObject::connect(model->sessionManager(), &QNetworkAccessManager::finished, [&handled] { ++handled; });
    for (int i = 1; i <= 3; ++i) {
        model->reportInstall(WebModel::InstallWay::Reinstall, QStringLiteral("1000"));
        ASSERT_TRUE(waitFor([&] { return handled == i; }, 15000));
        EXPECT_EQ(model->ct(), i < 3 ? 0 : 7);
    }
    EXPECT_EQ(standIn.requests()[0].json->value("type").toInteger(), 2);
    EXPECT_EQ(platform::DefaultsSuite::standard().integer(QStringLiteral("ct")), 7);

    bool called = false;
    model->sendHeartbeat(WebModel::HeartBeatType::Boot, QStringLiteral("1000"), [&](const auto&) { called = true; });
    ASSERT_TRUE(waitFor([&] { return called; }));
    EXPECT_EQ(standIn.requests().last().json->value("ct").toString(), "7");
    // A new client in this process starts from the stored value.
    EXPECT_EQ(WebModel(standIn.baseUrl(), false).ct(), 7);
}

TEST_F(ServiceTest, CtSurvivesARestartOfTheProgram) {
    // Another value than an earlier test of this process may have stored, so the child sees it change.
    standIn.setReply(13, ScriptedReply::encrypted(R"({"status":0,"info":"","data":77})"));
    QProcess install;
    testsupport::startChild(install, SERVICE_CHILD, {"install", standIn.baseUrl()});
    ASSERT_TRUE(install.waitForFinished(10000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().constData();
    QProcess heartbeat;
    testsupport::startChild(heartbeat, SERVICE_CHILD, {"heartbeat", standIn.baseUrl()});
    ASSERT_TRUE(heartbeat.waitForFinished(10000));
    ASSERT_EQ(heartbeat.exitCode(), 0);
    const auto all = standIn.requests();
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[1].code, 21);
    EXPECT_EQ(all[1].json->value("ct").toString(), "77");
}

TEST_F(ServiceTest, CrashUploadSendsThreePartsAndReportsOnlyADeliveredUpload) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("crash 2024.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("stack trace\n\0binary", 19);
    file.close();

    standIn.queueReply(25, ScriptedReply::raw("thanks", 200));
    standIn.queueReply(25, ScriptedReply::raw("<html>oops</html>", 500));
    for (const char* expectedBody : {"thanks", "<html>oops</html>"}) {
        std::optional<QString> reply;
        bool finished = false;
        bool called = false;
        model->uploadCrashDump(QUrl::fromLocalFile(path), [&](const std::optional<QString>& r, bool f) {
            called = true;
            reply = r;
            finished = f;
        });
        ASSERT_TRUE(waitFor([&] { return called; }));
        EXPECT_TRUE(finished);                                // any HTTP reply counts as delivered
        EXPECT_EQ(reply, QString::fromLatin1(expectedBody));  // not decrypted
    }
    const auto r = standIn.requests().first();
    EXPECT_EQ(r.http.path, "/inst.html");
    EXPECT_EQ(r.http.header("User-Agent"), ("MACTavvel" + version()).toUtf8());
    ASSERT_EQ(r.parts.size(), 3);
    EXPECT_EQ(r.parts[0].name, "f");
    EXPECT_EQ(r.parts[0].data, "25");
    EXPECT_FALSE(r.parts[0].fileName);
    EXPECT_EQ(r.parts[1].name, "i");
    EXPECT_EQ(r.plaintext, QStringLiteral(R"({"ui":"%1","v":"%2"})").arg(ui(), version()));
    EXPECT_EQ(r.parts[2].name, "dmp");
    EXPECT_EQ(r.parts[2].fileName, QByteArray("crash 2024.txt"));
    EXPECT_EQ(r.parts[2].contentType, "text/plain");
    EXPECT_EQ(r.parts[2].data, QByteArray("stack trace\n\0binary", 19));

    // No reply at all: the report must be kept.
    standIn.setReply(25, ScriptedReply::drop());
    bool called = false;
    model->uploadCrashDump(QUrl::fromLocalFile(path), [&](const std::optional<QString>& reply, bool finished) {
        called = true;
        EXPECT_FALSE(reply);
        EXPECT_FALSE(finished);
    });
    ASSERT_TRUE(waitFor([&] { return called; }));

    // A missing file: the body cannot be made.
    called = false;
    model->uploadCrashDump(QUrl::fromLocalFile(dir.filePath(QStringLiteral("gone.dmp"))),
                           [&](const std::optional<QString>& reply, bool finished) {
                               called = true;
                               EXPECT_TRUE(reply && !reply->isEmpty());
                               EXPECT_FALSE(finished);
                           });
    EXPECT_TRUE(called);
}

// ---- Identifier shared by the programs ----

TEST(ClientIdentifier, ConcurrentProgramsReadOneIdentifier) {
    const QString suiteFile = Preferences::sharedDefaults().filePath();
    QByteArray last;
    // Several rounds from no file at all: the programs that read while the first one creates
    // the file are the ones that once made a second identifier.
    for (int round = 0; round < 5; ++round) {
        QFile::remove(suiteFile);
        QList<QProcess*> children;
        for (int i = 0; i < 6; ++i) {
            children << new QProcess;
            testsupport::startChild(*children.last(), SERVICE_CHILD, {"uuid"});
        }
        QSet<QByteArray> ids;
        for (QProcess* child : children) {
            EXPECT_TRUE(child->waitForFinished(20000));
            const QByteArray out = child->readAllStandardOutput().trimmed();
            EXPECT_TRUE(out.startsWith("uuid ")) << out.constData();
            ids.insert(out.mid(5));
            delete child;
        }
        ASSERT_EQ(ids.size(), 1) << "round " << round;
        last = *ids.begin();
    }
    // A program started later reads the stored one. (This process may have read its own before
    // the file was removed, when other tests ran first.)
    QProcess later;
    testsupport::startChild(later, SERVICE_CHILD, {"uuid"});
    ASSERT_TRUE(later.waitForFinished(20000));
    EXPECT_EQ(later.readAllStandardOutput().trimmed(), "uuid " + last);
    EXPECT_TRUE(QUuid::fromString(QString::fromUtf8(last)).version() == QUuid::Random);
}

// ---- TLS ----

TEST(ServiceTls, RequestSucceedsOnlyWithTheTestCertificateTrusted) {
    QTemporaryDir dir;
    const auto identity = testsupport::ServiceStandIn::makeTestCertificate(dir.path());
    ASSERT_TRUE(identity);
    testsupport::ServiceStandIn standIn;
    ASSERT_TRUE(standIn.startTls(*identity));
    ASSERT_TRUE(standIn.baseUrl().startsWith("https://"));
    standIn.setReply(505, ScriptedReply::encrypted(envelope(R"(["tls"])")));

    auto ask = [](WebModel& model) {
        std::optional<std::vector<QString>> words;
        bool called = false;
        model.requestKeywords(QStringLiteral("x"), [&](const auto& w) {
            called = true;
            words = w;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return called; }, 5000));
        return words;
    };
    {
        WebModel untrusting(standIn.baseUrl(), false);
        EXPECT_FALSE(ask(untrusting));
        EXPECT_EQ(standIn.requestCount(), 0);
    }
    WebModel::addTrustedCertificatesForTesting(QSslCertificate::fromPath(identity->certificatePath));
    WebModel trusting(standIn.baseUrl(), false);
    const auto words = ask(trusting);
    ASSERT_TRUE(words);
    EXPECT_EQ(*words, std::vector<QString>{"tls"});
}
