#include "service/WebModel.h"

#include "platform/DefaultsSuite.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/Random.h"
#include "service/ServiceCrypto.h"
#include "shared/AppInfo.h"
#include "shared/JsonRead.h"
#include "shared/Preferences.h"

#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QMimeDatabase>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>
#include <QTimer>
#include <QUuid>
#include <QVariant>
#include <algorithm>

#ifndef TAVVEL_SERVICE_URL
#define TAVVEL_SERVICE_URL "https://api.tavvel.invalid"
#endif

namespace {

// The inactivity time-out never fires on a reply that trickles a byte a second: every request
// also ends, as a failed exchange, once its whole time is up.
void endBy(QNetworkReply* reply, int deadlineMs) {
    // Precise: a coarse timer may fire up to 5% before the deadline it was given.
    QTimer::singleShot(deadlineMs, Qt::PreciseTimer, reply, [reply] {
        if (reply->isRunning())
            reply->abort();
    });
}
constexpr int kMidnightCheckStepMs = 60 * 1000;
const QString kCtKey = QStringLiteral("ct");

QMutex& trustMutex() {
    static QMutex mutex;
    return mutex;
}
QList<QSslCertificate>& extraAuthorities() {
    static QList<QSslCertificate> list;
    return list;
}

// A failure of the exchange itself (connection, time-out, TLS, proxy), as opposed to an
// HTTP reply with an error status, whose body is still read.
bool exchangeFailed(const QNetworkReply* reply) {
    if (!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        return true;
    const int error = reply->error();
    return error >= 1 && error <= 199;
}

QString text(const char* latin1) {
    return QString::fromLatin1(latin1);
}

// The reply's text decoded as `T`; absent when there is no text or it does not decode.
template <typename T>
std::optional<T> decodeReply(const WebModel::Reply& reply) {
    if (!reply.text)
        return std::nullopt;
    return T::fromJsonText(reply.text->toUtf8());
}
}  // namespace

// ---- Instance, identifier, endpoints ----

WebModel& WebModel::shared() {
    static WebModel* instance = [] {
        // The client's id is read or made now, at start-up: made at its first request, the
        // settings file's lock and write would hold up the thread that sends (in the player, the
        // one that draws the wallpaper) on a slow disk.
        clientId();
        return new WebModel(configuredBaseUrl(), true);
    }();
    return *instance;
}

QString WebModel::configuredBaseUrl() {
    static const QString url = [] {
        const QString fromEnvironment = qEnvironmentVariable("TAVVEL_SERVICE_URL");
        return fromEnvironment.isEmpty() ? QStringLiteral(TAVVEL_SERVICE_URL) : fromEnvironment;
    }();
    return url;
}

WebModel::WebModel(const QString& baseUrl, bool startTimersNow, QObject* parent) : QObject(parent), baseUrl_(baseUrl) {
    while (baseUrl_.endsWith(QLatin1Char('/')))
        baseUrl_.chop(1);
    ct_ = platform::DefaultsSuite::standard().integer(kCtKey);
    if (startTimersNow)
        startTimers();
}

WebModel::~WebModel() = default;

QString WebModel::clientId() {
    static const QString id = [] {
        platform::DefaultsSuite& suite = Preferences::sharedDefaults();
        // Both programs may start at once; the lock makes the read-or-create one step.
        QLockFile lock(suite.filePath() + QStringLiteral(".uuid.lock"));
        lock.setStaleLockTime(10000);
        const bool locked = lock.tryLock(10000);
        suite.synchronize();
        std::optional<QString> stored = suite.string(QStringLiteral("uuid"));
        if (stored && !stored->isEmpty())
            return *stored;
        const QString made = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        suite.setObject(QStringLiteral("uuid"), made);
        suite.synchronize();
        Q_UNUSED(locked)  // without the lock (a stuck file system) it still works, just unguarded
        return made;
    }();
    return id;
}

QUrl WebModel::endpointUrl(Endpoint endpoint) const {
    return QUrl(baseUrl_ +
                (endpoint == Endpoint::Content ? QStringLiteral("/src.html") : QStringLiteral("/inst.html")));
}

void WebModel::addTrustedCertificatesForTesting(const QList<QSslCertificate>& certificates) {
    QMutexLocker lock(&trustMutex());
    extraAuthorities().append(certificates);
}

void WebModel::setLatestRequest(const std::optional<VideoListRequest>& request) {
    latestRequest_ = request;
    ++latestRequestGeneration_;
}

QNetworkAccessManager* WebModel::sessionManager() {
    if (!sessionManager_)
        sessionManager_ = new QNetworkAccessManager(this);  // each request sets its own time-out
    return sessionManager_;
}

QNetworkRequest WebModel::makeRequest(const QUrl& url) const {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("MACTavvel") + AppInfo::version());
    // An inactivity time-out, like the session's request time-out.
    request.setTransferTimeout(kInactivityTimeoutMs);
    QMutexLocker lock(&trustMutex());
    if (!extraAuthorities().isEmpty()) {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.addCaCertificates(extraAuthorities());
        request.setSslConfiguration(ssl);
    }
    return request;
}

// ---- The frame ----

void WebModel::postForm(Endpoint endpoint, int code, const QString& payload, ReplyHandler handler) {
    const std::optional<QString> value = service::encryptPayload(payload);
    QPointer<WebModel> self(this);
    if (!value) {
        // Nothing to send: answer as a failed exchange would, later and on the main thread.
        platform::runOnMainThread([self, handler = std::move(handler)] {
            if (self && handler)
                handler(Reply{});
        });
        return;
    }
    auto send = [self, endpoint, body = service::formBody(code, *value), handler = std::move(handler)] {
        if (!self)
            return;
        QNetworkRequest request = self->makeRequest(self->endpointUrl(endpoint));
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QStringLiteral("application/x-www-form-urlencoded; charset=utf-8"));
        self->finishReply(self->sessionManager()->post(request, body), handler);
    };
    // The session belongs to the main thread.
    if (platform::isMainThread())
        send();
    else
        platform::runOnMainThread(std::move(send));
}

void WebModel::finishReply(QNetworkReply* reply, const ReplyHandler& handler) {
    endBy(reply, kRequestDeadlineMs);
    connect(reply, &QNetworkReply::finished, this, [reply, handler] {
        reply->deleteLater();
        Reply result;
        if (!exchangeFailed(reply)) {
            result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            // The status code does not matter: any body that decrypts is the reply.
            result.text = service::decryptReply(reply->readAll());
        }
        if (handler)
            handler(result);
    });
}

// ---- Payloads ----

QString WebModel::baseInfoPayload(const QString& ui) {
    return text(R"({"ui":")") + ui + text(R"("})");
}

QString WebModel::downloadStatusPayload(const QString& ui, qint64 vid, qint64 status) {
    return text(R"({"ui":")") + ui + text(R"(", "vid":)") + QString::number(vid) + text(R"(, "status":)") +
           QString::number(status) + text("}");
}

QString WebModel::videoDetailPayload(const QString& ui, const QString& sign) {
    return text(R"({"ui":")") + ui + text(R"(", "sign":")") + sign + text(R"("})");
}

QString WebModel::keywordsPayload(const QString& ui, const QString& keywords) {
    return text(R"({"ui":")") + ui + text(R"(", "keywords":")") + VideoListRequest::base64Utf8(keywords) +
           text(R"("})");
}

QString WebModel::heartbeatPayload(const QString& n, const QString& ui, qint64 ct, const QString& version,
                                   HeartBeatType type) {
    return text(R"({"n":")") + n + text(R"(", "ui":")") + ui + text(R"(","ct":")") + QString::number(ct) +
           text(R"(","v":")") + version + text(R"(","type":")") + QString::number(int(type) + 1) +
           text(R"(","ismac":"1"})");
}

QString WebModel::installPayload(const QString& n, const QString& ui, const QString& version, InstallWay way) {
    return text(R"({"n":")") + n + text(R"(","ui":")") + ui + text(R"(","v":")") + version + text(R"(","type":)") +
           QString::number(int(way)) + text("}");
}

QString WebModel::versionPayload(const QString& ui, const QString& version) {
    return text(R"({"ui":")") + ui + text(R"(","v":")") + version + text(R"("})");
}

QString WebModel::feedbackPayload(const QString& ui, qint64 type, const QString& content, const QString& contact) {
    return text(R"({"ui":")") + ui + text(R"(","type":")") + QString::number(type) + text(R"(","content":")") +
           service::jsonStringContent(content) + text(R"(","contact":")") + service::jsonStringContent(contact) +
           text(R"(", "lng":"en-US"})");
}

// ---- Requests ----

void WebModel::requestBaseInfo(BaseInfoCompletion completion) {
    if (baseInfo_) {
        if (completion)
            completion(baseInfo_);
        return;
    }
    // The screens that need the base info at start all ask at once: one request answers them.
    const bool sent = !baseInfoWaiting_.empty();
    baseInfoWaiting_.push_back(completion ? std::move(completion) : BaseInfoCompletion([](const auto&) {}));
    if (sent)
        return;
    QPointer<WebModel> self(this);
    postForm(Endpoint::Content, 501, baseInfoPayload(clientId()), [self](const Reply& reply) {
        if (!self)
            return;
        std::optional<BaseInfoResponse> decoded;
        if (reply.text) {
            decoded = decodeReply<BaseInfoResponse>(reply);
            self->baseInfo_ = decoded;
        }
        const std::vector<BaseInfoCompletion> waiting = std::move(self->baseInfoWaiting_);
        self->baseInfoWaiting_.clear();
        for (const BaseInfoCompletion& waiter : waiting)
            waiter(decoded);
    });
}

void WebModel::requestVideoList(const VideoListRequest& request, VideoListCompletion completion, StaleReply stale) {
    setLatestRequest(request);
    const quint64 generation = latestRequestGeneration_;
    QPointer<WebModel> self(this);
    const QString payload = QString::fromUtf8(request.toJson());
    postForm(Endpoint::Content, 502, payload, [self, generation, stale, completion](const Reply& reply) {
        if (stale == StaleReply::drop && (!self || self->latestRequestGeneration_ != generation))
            return;
        if (completion)
            completion(decodeReply<VideoListResponse>(reply), reply.httpStatus);
    });
}

void WebModel::requestNextVideoPage(const VideoListRequest& request, NextPageCompletion completion, StaleReply stale) {
    setLatestRequest(request);
    const quint64 generation = latestRequestGeneration_;
    QPointer<WebModel> self(this);
    auto isLatest = [self, generation] { return self && self->latestRequestGeneration_ == generation; };
    const QString payload = QString::fromUtf8(request.toJson());
    postForm(Endpoint::Content, 502, payload, [self, isLatest, stale, completion](const Reply& reply) {
        const bool latest = isLatest();
        if (stale == StaleReply::drop && !latest)
            return;
        const std::optional<VideoListResponse> decoded = decodeReply<VideoListResponse>(reply);
        if (!decoded) {
            // Lower the raised page again, unless a newer request has replaced this one since.
            if (latest && self->latestRequest_ && self->latestRequest_->page > 1)
                --self->latestRequest_->page;
            if (completion)
                completion(std::nullopt);
            return;
        }
        if (completion)
            completion(decoded->data);
    });
}

void WebModel::reportDownloadStatus(qint64 vid, qint64 status, TextCompletion completion) {
    postForm(Endpoint::Content, 503, downloadStatusPayload(clientId(), vid, status), [completion](const Reply& reply) {
        if (completion)
            completion(reply.text);
    });
}

void WebModel::requestVideoDetail(const QString& sign, VideoDetailCompletion completion) {
    postForm(Endpoint::Content, 504, videoDetailPayload(clientId(), sign), [completion](const Reply& reply) {
        if (!completion)
            return;
        const std::optional<VideoDetailResponse> decoded = decodeReply<VideoDetailResponse>(reply);
        completion(decoded ? std::optional<VideoDetail>(decoded->data) : std::nullopt);
    });
}

void WebModel::requestKeywords(const QString& keywords, KeywordsCompletion completion) {
    postForm(Endpoint::Content, 505, keywordsPayload(clientId(), keywords), [completion](const Reply& reply) {
        if (!completion)
            return;
        const std::optional<KeywordResponse> decoded = decodeReply<KeywordResponse>(reply);
        completion(decoded ? std::optional<std::vector<QString>>(decoded->data) : std::nullopt);
    });
}

void WebModel::sendHeartbeat(HeartBeatType type, const QString& n, HeartbeatCompletion completion) {
    QPointer<WebModel> self(this);
    const QString payload = heartbeatPayload(n, clientId(), ct_, AppInfo::version(), type);
    postForm(Endpoint::Statistics, 21, payload, [self, completion](const Reply& reply) {
        if (!reply.text) {
            if (completion)
                completion(std::nullopt);
            return;
        }
        std::optional<HeartbeatResponse> decoded = decodeReply<HeartbeatResponse>(reply);
        if (self)
            self->heartbeatResponse_ = decoded;
        if (completion)
            completion(decoded);
        platform::NotificationCenter::defaultCenter().post(heartbeatUpdatedNotification);
    });
}

void WebModel::reportInstall(InstallWay way, const QString& n) {
    QPointer<WebModel> self(this);
    postForm(Endpoint::Statistics, 13, installPayload(n, clientId(), AppInfo::version(), way),
             [self](const Reply& reply) {
                 if (self)
                     self->handleInstallReply(reply);
             });
}

void WebModel::handleInstallReply(const Reply& reply) {
    if (!reply.text)
        return;
    const QJsonDocument document = QJsonDocument::fromJson(reply.text->toUtf8());
    if (!document.isObject())
        return;
    // Only a whole number is a usable value; anything else leaves "ct" as it was.
    const std::optional<qint64> data = jsonread::toInt64(document.object().value(QLatin1String("data")));
    if (!data)
        return;
    ct_ = *data;
    platform::DefaultsSuite& defaults = platform::DefaultsSuite::standard();
    defaults.setInteger(kCtKey, ct_);
    defaults.synchronize();
}

void WebModel::uploadCrashDump(const QUrl& fileUrl, CrashUploadCompletion completion) {
    if (!platform::isMainThread()) {
        QPointer<WebModel> self(this);
        platform::runOnMainThread([self, fileUrl, completion] {
            if (self)
                self->uploadCrashDump(fileUrl, completion);
        });
        return;
    }
    const std::optional<QString> value = service::encryptPayload(versionPayload(clientId(), AppInfo::version()));
    if (!value) {
        if (completion)
            completion(std::nullopt, false);
        return;
    }
    const QString path = fileUrl.toLocalFile();
    auto* file = new QFile(path);
    if (path.isEmpty() || !QFileInfo(path).isFile() || !file->open(QIODevice::ReadOnly)) {
        const QString error = path.isEmpty() ? QStringLiteral("The file URL is not a local file.")
                                             : file->errorString();
        delete file;
        if (completion)
            completion(error, false);
        return;
    }
    auto* multi = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart codePart;
    codePart.setHeader(QNetworkRequest::ContentDispositionHeader, QStringLiteral("form-data; name=\"f\""));
    codePart.setBody(QByteArrayLiteral("25"));
    multi->append(codePart);
    QHttpPart valuePart;
    valuePart.setHeader(QNetworkRequest::ContentDispositionHeader, QStringLiteral("form-data; name=\"i\""));
    valuePart.setBody(value->toUtf8());
    multi->append(valuePart);
    QHttpPart filePart;
    QString fileName = QFileInfo(path).fileName();
    fileName.replace(QLatin1Char('"'), QLatin1String("\\\""));
    filePart.setHeader(QNetworkRequest::ContentDispositionHeader,
                       QStringLiteral("form-data; name=\"dmp\"; filename=\"%1\"").arg(fileName));
    filePart.setHeader(QNetworkRequest::ContentTypeHeader,
                       QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name());
    filePart.setBodyDevice(file);
    file->setParent(multi);
    multi->append(filePart);

    QNetworkReply* reply = sessionManager()->post(makeRequest(endpointUrl(Endpoint::Statistics)), multi);
    multi->setParent(reply);
    endBy(reply, kUploadDeadlineMs);
    connect(reply, &QNetworkReply::finished, this, [reply, completion] {
        reply->deleteLater();
        if (!completion)
            return;
        // Not decrypted. Only a reply that arrived counts as delivered; without one the report
        // stays for the next start instead of being deleted unsent.
        if (exchangeFailed(reply))
            completion(std::nullopt, false);
        else
            completion(QString::fromUtf8(reply->readAll()), true);
    });
}

void WebModel::requestGuide() {
    QPointer<WebModel> self(this);
    auto handler = [self](const Reply& reply) {
        if (!self)
            return;
        self->guideModel_.reset();
        if (std::optional<GuideResponse> decoded = decodeReply<GuideResponse>(reply)) {
            auto model = std::make_shared<GuideModel>(std::move(*decoded));
            model->decodeGuideImages();
            self->guideModel_ = std::move(model);
        }
        platform::NotificationCenter& center = platform::NotificationCenter::defaultCenter();
        center.post(newFeatureUpdatedNotification);
        QVariantMap userInfo;
        if (self->guideModel_)
            userInfo.insert(leftPanelUserInfoKey, QVariant::fromValue(self->guideModel_->leftPanel()));
        center.post(leafletUpdatedNotification, userInfo);
    };
    postForm(Endpoint::Statistics, 214, versionPayload(clientId(), AppInfo::version()), handler);
}

void WebModel::sendFeedback(qint64 type, const QString& content, const QString& contact, TextCompletion completion) {
    postForm(Endpoint::Statistics, 26, feedbackPayload(clientId(), type, content, contact),
             [completion](const Reply& reply) {
                 if (completion)
                     completion(reply.text);
             });
}

// ---- Timers ----

std::optional<QDateTime> WebModel::nextMidnightFire(const QDateTime& now, quint32 r, const QTimeZone& zone) {
    const QDate tomorrow = now.toTimeZone(zone).date().addDays(1);
    const QDateTime midnight = tomorrow.startOfDay(zone);
    if (!midnight.isValid())
        return std::nullopt;
    const double offsetSeconds = double(r) / 8589934591.0 * 120.0;
    return midnight.addMSecs(qint64(offsetSeconds * 1000.0));
}

QDateTime WebModel::followingFire(const QDateTime& scheduled, const QDateTime& now) {
    QDateTime next = scheduled.addDays(1);
    // After a sleep over several midnights the missed days are skipped, not sent one by one.
    while (next.isValid() && next <= now)
        next = next.addDays(1);
    return next;
}

void WebModel::startTimers() {
    QTimer::singleShot(2000, this, [this] { refreshGudieInfo(); });
    midnightFire_ = nextMidnightFire(now(), platform::random32(), QTimeZone::systemTimeZone());
    if (!midnightFire_)
        return;
    midnightTimer_ = new QTimer(this);
    midnightTimer_->setSingleShot(true);
    // Steps of at most a minute against the wall clock: the monotonic timer stops in suspend.
    connect(midnightTimer_, &QTimer::timeout, this, &WebModel::checkMidnightTimer);
    armMidnightTimer();
}

void WebModel::armMidnightTimer() {
    if (!midnightTimer_ || !midnightFire_)
        return;
    const qint64 remaining = now().msecsTo(*midnightFire_);
    midnightTimer_->start(int(std::clamp<qint64>(remaining, 0, kMidnightCheckStepMs)));
}

void WebModel::checkMidnightTimer() {
    if (!midnightFire_)
        return;
    const QDateTime current = now();
    if (current >= *midnightFire_) {
        midnightRefresh();
        const QDateTime next = followingFire(*midnightFire_, current);
        if (next.isValid())
            midnightFire_ = next;
        else
            midnightFire_.reset();  // the calendar gives no date: the timer stops
    }
    armMidnightTimer();
}

void WebModel::setClockForTesting(std::function<QDateTime()> clock) {
    clock_ = std::move(clock);
    if (!midnightFire_)
        midnightFire_ = nextMidnightFire(now(), platform::random32(), QTimeZone::systemTimeZone());
}

QDateTime WebModel::now() const {
    return clock_ ? clock_() : QDateTime::currentDateTime();
}

void WebModel::refreshGudieInfo(QObject*) {
    requestGuide();
}

void WebModel::midnightRefresh() {
    sendHeartbeat(HeartBeatType::MidNight, QStringLiteral("1000"));
}
