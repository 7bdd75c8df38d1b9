#pragma once
// A loopback stand-in for the web service: an HTTP/1.1 (or HTTPS) server on 127.0.0.1 that
// decrypts every form request, records it and answers with scripted replies per request code.
// It runs on a thread of its own, so tests may wait on the main thread while it answers.
// Other files plug in further routes (file serving, for one) with `addRoute`.
#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QTcpSocket;
class QThread;

namespace testsupport {

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

// One HTTP request as it arrived.
struct HttpRequest {
    QByteArray method;
    QByteArray target;   // request target as sent, query included
    QString path;        // decoded path without the query
    QByteArray query;    // raw query text after "?"
    HeaderList headers;  // names and values as sent, in order
    QByteArray body;

    // Value of the first header of that name (case-insensitive); empty when missing.
    QByteArray header(const QByteArray& name) const;
};

// One part of a multipart/form-data body.
struct RecordedPart {
    QByteArray name;
    std::optional<QByteArray> fileName;
    QByteArray contentType;
    HeaderList headers;
    QByteArray data;
};

// A service request as the service decodes it.
struct RecordedRequest {
    HttpRequest http;
    std::optional<int> code;           // form field "f"
    QByteArray encrypted;              // form field "i" after form decoding (Base64 text)
    std::optional<QString> plaintext;  // decrypted, with the quote step undone
    std::optional<QJsonObject> json;   // plaintext parsed as a JSON object
    QList<RecordedPart> parts;         // multipart requests only
};

// What the stand-in answers to one request.
struct ScriptedReply {
    enum class Kind {
        Encrypted,   // body is plain JSON text: encrypted with PKCS#7 and sent as Base64
        ZeroPadded,  // the same, but padded with NUL bytes instead of PKCS#7
        Raw,         // body sent as it is
        Drop,        // the connection is closed without an answer
        Stall,       // no answer at all; the connection stays open
        Trickle,     // a 200 whose long body comes one byte every half second, never ending in time
    };
    Kind kind = Kind::Encrypted;
    QByteArray body;
    int status = 200;
    int delayMs = 0;
    QByteArray contentType = "text/html; charset=utf-8";

    static ScriptedReply encrypted(const QByteArray& json, int status = 200);
    static ScriptedReply zeroPadded(const QByteArray& json, int status = 200);
    static ScriptedReply raw(const QByteArray& body, int status = 200);
    static ScriptedReply drop();
    static ScriptedReply stall();
    static ScriptedReply trickle();
    ScriptedReply delayed(int ms) const;
};

// Certificate and key files for serving TLS, made with the openssl command.
struct TlsIdentity {
    QString certificatePath;
    QString keyPath;
};

class ServiceStandIn {
public:
    ServiceStandIn();
    ~ServiceStandIn();
    ServiceStandIn(const ServiceStandIn&) = delete;
    ServiceStandIn& operator=(const ServiceStandIn&) = delete;

    // A self-signed certificate for 127.0.0.1 and localhost, written into `directory`.
    static std::optional<TlsIdentity> makeTestCertificate(const QString& directory);

    // Listens on 127.0.0.1 (port 0 picks a free one); plain HTTP, or TLS with `identity`.
    bool start(quint16 port = 0);
    bool startTls(const TlsIdentity& identity, quint16 port = 0);
    quint16 port() const;
    // "http://127.0.0.1:<port>" or "https://127.0.0.1:<port>", no trailing slash.
    QString baseUrl() const;

    // Every later request with this code gets `reply` (until replaced).
    void setReply(int code, const ScriptedReply& reply);
    // The next request with this code gets `reply`; later ones fall back to `setReply`.
    void queueReply(int code, const ScriptedReply& reply);

    QList<RecordedRequest> requests() const;
    int requestCount() const;
    void clearRequests();
    // No scripted or queued replies and no recorded requests, as when just started.
    void reset();
    // Runs the calling thread's event loop until `count` requests were recorded.
    bool waitForRequests(int count, int timeoutMs = 5000) const;

    // Requests whose path starts with `pathPrefix` go to `handler`, on the stand-in's thread.
    // The handler owns the rest of the connection: it answers (e.g. with `writeResponse`)
    // and closes it.
    // Give timers the socket as their context: sockets are deleted when the stand-in stops.
    using RouteHandler = std::function<void(const HttpRequest& request, QTcpSocket* socket)>;
    void addRoute(const QString& pathPrefix, RouteHandler handler);

    // The status line, the headers as given and the "Connection" header, up to the empty line.
    static QByteArray responseHead(int status, const HeaderList& headers, bool close);
    // Writes a whole response (with a "Content-Length" of the body unless `headers` has one);
    // closes the connection afterwards when `close` is set.
    static void writeResponse(QTcpSocket* socket, int status, const HeaderList& headers, const QByteArray& body,
                              bool close = false);
    static QByteArray reasonPhrase(int status);

    // The service's own side of the frame, written apart from the client's code.
    static QByteArray encryptReplyBody(const QByteArray& json, bool zeroPadded = false);
    static std::optional<QString> decryptRequestValue(const QByteArray& base64);

    // Form-decodes an application/x-www-form-urlencoded body ("+" is a space).
    static QList<QPair<QByteArray, QByteArray>> parseForm(const QByteArray& body);
    static QList<RecordedPart> parseMultipart(const QByteArray& contentType, const QByteArray& body);

    class Server;

private:
    std::unique_ptr<QThread> thread_;
    Server* server_;  // lives on thread_
};

}  // namespace testsupport
