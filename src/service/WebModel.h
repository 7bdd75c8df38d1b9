#pragma once
#include "shared/CatalogueModels.h"
#include "shared/GuideModel.h"
#include "shared/HeartbeatModels.h"
#include "shared/VideoDetail.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QTimeZone>
#include <QUrl>
#include <functional>
#include <optional>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;
class QTimer;

// The one client of the product's web service in each program. Every request is a form POST
// of an encrypted JSON payload; every completion runs on the main thread with an optional
// result that is absent on any failure. State lives on the main thread.
class WebModel : public QObject {
    Q_OBJECT
public:
    // The whole time a form request, and an upload of a file, may take, besides the time-out
    // of inactivity.
    static constexpr int kRequestDeadlineMs = 10000;
    // A request that gets no byte for this long has failed.
    static constexpr int kInactivityTimeoutMs = 2000;
    static constexpr int kUploadDeadlineMs = 60000;

    enum class HeartBeatType : int { Boot = 0, MidNight = 1, HeartBeat = 2 };  // sent as raw + 1
    enum class InstallWay : int { Update = 1, Reinstall = 2 };                 // sent as this number
    enum class Endpoint { Content, Statistics };                               // "/src.html", "/inst.html"

    // In-process notifications on platform::NotificationCenter::defaultCenter().
    static inline const QString heartbeatUpdatedNotification = QStringLiteral("HeartbeatUpdated");
    static inline const QString newFeatureUpdatedNotification = QStringLiteral("NewFeatureUpdated");
    static inline const QString leafletUpdatedNotification = QStringLiteral("leafletUpdated");
    // "leafletUpdated" carries the guide's left-panel pictures under this key as an ImageUrlMap
    // (QVariant::fromValue); without a guide its user info is empty.
    static inline const QString leftPanelUserInfoKey = QStringLiteral("leftPanel");

    // The programs' instance over `configuredBaseUrl()`, created on first use (on the main
    // thread) and never released. Only start-up code asks for it; everything else is handed the
    // client it uses.
    static WebModel& shared();
    // The base address the programs use: TAVVEL_SERVICE_URL from the environment, read once
    // per process, else the address the build was configured with.
    static QString configuredBaseUrl();

    // A client of the service at `baseUrl` (trailing slashes are dropped); `startTimers` false
    // skips the delayed guide request and the midnight heartbeat (tests use it to keep their
    // recordings clean).
    explicit WebModel(const QString& baseUrl, bool startTimers = true, QObject* parent = nullptr);
    ~WebModel() override;

    // The client identifier: "uuid" of the shared suite, made once under a file lock so the
    // two programs cannot each make a different one. Computed once per process.
    static QString clientId();

    QString baseUrl() const { return baseUrl_; }
    QUrl endpointUrl(Endpoint endpoint) const;

    // Extra certificate authorities for the stand-in's test certificate. Verification stays on.
    static void addTrustedCertificatesForTesting(const QList<QSslCertificate>& certificates);

    // ---- Fields ----
    const std::optional<VideoListRequest>& latestRequest() const { return latestRequest_; }
    std::optional<VideoListRequest>& latestRequest() { return latestRequest_; }  // callers raise `page`
    void setLatestRequest(const std::optional<VideoListRequest>& request);
    const std::optional<HeartbeatResponse>& heartbeatResponse() const { return heartbeatResponse_; }
    void setHeartbeatResponse(const std::optional<HeartbeatResponse>& response) { heartbeatResponse_ = response; }
    qint64 ct() const { return ct_; }
    void setCt(qint64 value) { ct_ = value; }
    const std::optional<BaseInfoResponse>& baseInfo() const { return baseInfo_; }
    void setBaseInfo(const std::optional<BaseInfoResponse>& info) { baseInfo_ = info; }
    QNetworkAccessManager* sessionManager();
    const GuideModelPtr& guideModel() const { return guideModel_; }  // null when there is none
    void setGuideModel(GuideModelPtr model) { guideModel_ = std::move(model); }

    // ---- Requests ----
    using BaseInfoCompletion = std::function<void(const std::optional<BaseInfoResponse>&)>;
    using VideoListCompletion =
        std::function<void(const std::optional<VideoListResponse>&, std::optional<int> httpStatus)>;
    using NextPageCompletion = std::function<void(const std::optional<TotalVideo>&)>;
    using TextCompletion = std::function<void(const std::optional<QString>&)>;
    using VideoDetailCompletion = std::function<void(const std::optional<VideoDetail>&)>;
    using KeywordsCompletion = std::function<void(const std::optional<std::vector<QString>>&)>;
    using HeartbeatCompletion = std::function<void(const std::optional<HeartbeatResponse>&)>;
    using CrashUploadCompletion = std::function<void(const std::optional<QString>& reply, bool finished)>;

    // 501. With a cached value the completion runs before this returns and nothing is sent; a
    // call while a request is on its way waits for that one's answer instead of sending another.
    void requestBaseInfo(BaseInfoCompletion completion);
    // Whether a video-list reply still reaches its completion after a newer video-list request
    // was sent. A list on screen asks for `drop`, so a slow old reply never replaces the
    // results of a newer search, category or refresh.
    enum class StaleReply { deliver, drop };
    // 502, first page. Sets `latestRequest` first.
    void requestVideoList(const VideoListRequest& request, VideoListCompletion completion,
                          StaleReply stale = StaleReply::deliver);
    // 502, further page (the caller has raised `latestRequest.page`). On failure the raised page
    // is lowered again, but only while `latestRequest` is still this request and above page 1.
    void requestNextVideoPage(const VideoListRequest& request, NextPageCompletion completion,
                              StaleReply stale = StaleReply::deliver);
    // 503.
    void reportDownloadStatus(qint64 vid, qint64 status, TextCompletion completion = {});
    // 504. May be called from any thread; the completion still runs on the main thread.
    void requestVideoDetail(const QString& sign, VideoDetailCompletion completion);
    // 505.
    void requestKeywords(const QString& keywords, KeywordsCompletion completion);
    // 21. A decrypted reply is stored (absent when it does not decode), the completion runs,
    // then "HeartbeatUpdated" is posted. A failed exchange changes nothing.
    void sendHeartbeat(HeartBeatType type, const QString& n, HeartbeatCompletion completion = {});
    // 13. A reply whose "data" is a whole number becomes `ct` and is kept under "ct".
    void reportInstall(InstallWay way, const QString& n);
    // 25. `finished` is true once an HTTP reply arrived, whatever its status (the caller then
    // deletes the report); false when the body cannot be made or no reply came, so the report
    // is kept for the next start.
    void uploadCrashDump(const QUrl& fileUrl, CrashUploadCompletion completion = {});
    // 214. Replaces `guideModel`, then posts "NewFeatureUpdated" and "leafletUpdated".
    void requestGuide();
    // 26.
    void sendFeedback(qint64 type, const QString& content, const QString& contact, TextCompletion completion = {});
    // 24 (desktop player): the update check; defined in WebModelUpgrade.cpp.
    void checkUpgrade(std::function<void(const struct UpgradeCheckResult&)> completion);

    // ---- The generic frame, for every request ----
    struct Reply {
        std::optional<QString> text;    // decrypted text with NULs removed; absent on failure
        std::optional<int> httpStatus;  // absent when no HTTP reply arrived
    };
    using ReplyHandler = std::function<void(const Reply&)>;
    // Encrypts `payload`, posts it with code `code` and hands the reply to `handler` on the
    // main thread, never before this returns. A payload that cannot be encrypted sends nothing
    // and is answered like a failed exchange (no text, no status).
    void postForm(Endpoint endpoint, int code, const QString& payload, ReplyHandler handler);

    // Exact payload texts, before the quote step.
    static QString baseInfoPayload(const QString& ui);
    static QString downloadStatusPayload(const QString& ui, qint64 vid, qint64 status);
    static QString videoDetailPayload(const QString& ui, const QString& sign);
    static QString keywordsPayload(const QString& ui, const QString& keywords);
    static QString heartbeatPayload(const QString& n, const QString& ui, qint64 ct, const QString& version,
                                    HeartBeatType type);
    static QString installPayload(const QString& n, const QString& ui, const QString& version, InstallWay way);
    static QString versionPayload(const QString& ui, const QString& version);  // 25, 214 and 24
    static QString feedbackPayload(const QString& ui, qint64 type, const QString& content, const QString& contact);

    // ---- Timers ----
    // The first midnight heartbeat: the start of the day after `now` in `zone`, plus
    // r / (2^33 - 1) * 120 seconds (under a minute). Absent when that day has no start.
    static std::optional<QDateTime> nextMidnightFire(const QDateTime& now, quint32 r, const QTimeZone& zone);
    // The next firing after one at `scheduled`: whole calendar days later, the first that is
    // after `now` (missed days are skipped, so one heartbeat covers them).
    static QDateTime followingFire(const QDateTime& scheduled, const QDateTime& now);
    // When the midnight heartbeat goes out next; absent when no timer is armed.
    std::optional<QDateTime> midnightFireDate() const { return midnightFire_; }
    // Tests replace the wall clock and run the check that the timer runs every minute.
    void setClockForTesting(std::function<QDateTime()> clock);
    void checkMidnightTimer();

    // Runs `requestGuide()`; its argument is ignored.
    void refreshGudieInfo(QObject* sender = nullptr);
    // The midnight timer's action: sends the `MidNight` heartbeat.
    virtual void midnightRefresh();

private:
    void startTimers();
    void armMidnightTimer();
    QNetworkRequest makeRequest(const QUrl& url) const;
    void finishReply(QNetworkReply* reply, const ReplyHandler& handler);
    void handleInstallReply(const Reply& reply);
    QDateTime now() const;

    QString baseUrl_;
    std::optional<VideoListRequest> latestRequest_;
    quint64 latestRequestGeneration_ = 0;
    std::optional<HeartbeatResponse> heartbeatResponse_;
    qint64 ct_ = 0;
    std::optional<BaseInfoResponse> baseInfo_;
    std::vector<BaseInfoCompletion> baseInfoWaiting_;  // non-empty while a 501 is on its way
    QNetworkAccessManager* sessionManager_ = nullptr;
    GuideModelPtr guideModel_;

    QTimer* midnightTimer_ = nullptr;
    std::optional<QDateTime> midnightFire_;
    std::function<QDateTime()> clock_;
};
