#include "support/ServiceStandIn.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QStringDecoder>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <deque>
#include <map>
#include <openssl/evp.h>

namespace testsupport {
namespace {

const QByteArray kKey = QByteArrayLiteral("Hq4TzR8wLm2VbN6c");
const QByteArray kIv = QByteArrayLiteral("Pd9XsK3eJu7GyA5f");

// AES-128-CBC in one pass; `padding` selects PKCS#7 (strict on decryption) or none.
std::optional<QByteArray> aes(const QByteArray& input, bool encrypting, bool padding) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!ctx)
        return std::nullopt;
    std::optional<QByteArray> result;
    QByteArray out(input.size() + 32, Qt::Uninitialized);
    int n = 0;
    int tail = 0;
    if (EVP_CipherInit_ex(ctx, EVP_aes_128_cbc(), nullptr, reinterpret_cast<const unsigned char*>(kKey.constData()),
                          reinterpret_cast<const unsigned char*>(kIv.constData()), encrypting ? 1 : 0) == 1 &&
        EVP_CIPHER_CTX_set_padding(ctx, padding ? 1 : 0) == 1 &&
        EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &n,
                         reinterpret_cast<const unsigned char*>(input.constData()), int(input.size())) == 1 &&
        EVP_CipherFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()) + n, &tail) == 1) {
        out.truncate(n + tail);
        result = out;
    }
    EVP_CIPHER_CTX_free(ctx);
    return result;
}

QByteArray headerValue(const HeaderList& headers, const QByteArray& name) {
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

// "Name: value" lines, each trimmed; lines without a name are skipped.
HeaderList parseHeaderLines(const QList<QByteArray>& lines, qsizetype first) {
    HeaderList headers;
    for (qsizetype i = first; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return headers;
}

// A parameter of a header value such as `form-data; name="f"; filename="x.dmp"`.
std::optional<QByteArray> headerParameter(const QByteArray& value, const QByteArray& parameter) {
    const QList<QByteArray> pieces = value.split(';');
    for (const QByteArray& raw : pieces) {
        const QByteArray piece = raw.trimmed();
        const qsizetype eq = piece.indexOf('=');
        if (eq < 0 || piece.left(eq).trimmed().compare(parameter, Qt::CaseInsensitive) != 0)
            continue;
        QByteArray v = piece.mid(eq + 1).trimmed();
        if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"'))
            v = v.mid(1, v.size() - 2);
        return v;
    }
    return std::nullopt;
}

struct Connection {
    QByteArray buffer;
    bool takenOver = false;  // a route handler owns it
    bool busy = false;       // an answer is pending (delay or stall)
};

}  // namespace

// ---- The server, living on its own thread ----

class ServiceStandIn::Server : public QTcpServer {
public:
    Server() = default;

    // Shared with the owning thread, under `mutex`.
    mutable QMutex mutex;
    std::map<int, ScriptedReply> scripts;
    std::map<int, std::deque<ScriptedReply>> queued;
    // For codes without a script.
    const ScriptedReply defaultReply = ScriptedReply::encrypted(R"({"status":0,"info":"","data":""})");
    QList<RecordedRequest> recorded;
    QList<QPair<QString, RouteHandler>> routes;

    // Set before listening.
    std::optional<TlsIdentity> tls;
    QSslCertificate certificate;
    QSslKey privateKey;

    void beginListening(quint16 port, bool* ok) {
        if (tls) {
            QFile certFile(tls->certificatePath);
            QFile keyFile(tls->keyPath);
            if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
                *ok = false;
                return;
            }
            certificate = QSslCertificate(certFile.readAll(), QSsl::Pem);
            const QByteArray keyPem = keyFile.readAll();
            privateKey = QSslKey(keyPem, QSsl::Ec, QSsl::Pem);
            if (privateKey.isNull())
                privateKey = QSslKey(keyPem, QSsl::Rsa, QSsl::Pem);
            if (certificate.isNull() || privateKey.isNull()) {
                *ok = false;
                return;
            }
        }
        connect(this, &QTcpServer::newConnection, this, &Server::acceptPending, Qt::UniqueConnection);
        *ok = listen(QHostAddress::LocalHost, port);
    }

    void shutDown() {
        close();
        const QList<QTcpSocket*> sockets = connections_.keys();
        connections_.clear();
        for (QTcpSocket* s : sockets) {
            s->disconnect(this);
            s->abort();
            delete s;
        }
    }

protected:
    void incomingConnection(qintptr descriptor) override {
        if (!tls) {
            QTcpServer::incomingConnection(descriptor);
            return;
        }
        auto* socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        socket->setLocalCertificate(certificate);
        socket->setPrivateKey(privateKey);
        socket->setPeerVerifyMode(QSslSocket::VerifyNone);  // the client has no certificate
        addPendingConnection(socket);
        socket->startServerEncryption();
    }

private:
    QHash<QTcpSocket*, Connection> connections_;

    void acceptPending() {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connections_.insert(socket, Connection{});
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { processBuffer(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                connections_.remove(socket);
                socket->deleteLater();
            });
        }
    }

    void processBuffer(QTcpSocket* socket) {
        auto it = connections_.find(socket);
        if (it == connections_.end() || it->takenOver || it->busy)
            return;
        if (socket->bytesAvailable() > 0)
            it->buffer += socket->readAll();
        QByteArray& buffer = it->buffer;
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        HttpRequest request;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        if (requestLine.size() < 3) {
            writeResponse(socket, 400, {}, "bad request\n", true);
            return;
        }
        request.method = requestLine[0];
        request.target = requestLine[1];
        request.headers = parseHeaderLines(lines, 1);
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer.size() < headEnd + 4 + length)
            return;
        request.body = buffer.mid(headEnd + 4, length);
        buffer.remove(0, headEnd + 4 + length);
        const qsizetype q = request.target.indexOf('?');
        request.path = QUrl::fromPercentEncoding(q < 0 ? request.target : request.target.left(q));
        request.query = q < 0 ? QByteArray() : request.target.mid(q + 1);
        dispatch(socket, request);
    }

    void dispatch(QTcpSocket* socket, const HttpRequest& request) {
        RouteHandler route;
        {
            QMutexLocker lock(&mutex);
            for (const auto& [prefix, handler] : routes)
                if (request.path.startsWith(prefix)) {
                    route = handler;
                    break;
                }
        }
        const bool closeAfter = request.header("Connection").compare("close", Qt::CaseInsensitive) == 0;
        if (route) {
            connections_[socket].takenOver = true;
            route(request, socket);
            return;
        }
        if (request.method != "POST" ||
            (request.path != QLatin1String("/src.html") && request.path != QLatin1String("/inst.html"))) {
            writeResponse(socket, 404, {{"Content-Type", "text/plain"}}, "not found\n", closeAfter);
            processBuffer(socket);
            return;
        }
        RecordedRequest record = decode(request);
        ScriptedReply reply;
        {
            QMutexLocker lock(&mutex);
            reply = defaultReply;
            if (record.code) {
                auto q = queued.find(*record.code);
                auto s = scripts.find(*record.code);
                if (q != queued.end() && !q->second.empty()) {
                    reply = q->second.front();
                    q->second.pop_front();
                } else if (s != scripts.end()) {
                    reply = s->second;
                }
            }
            recorded.append(record);
        }
        answer(socket, reply, closeAfter);
    }

    static RecordedRequest decode(const HttpRequest& request) {
        RecordedRequest record;
        record.http = request;
        const QByteArray contentType = request.header("Content-Type");
        if (contentType.trimmed().startsWith("multipart/form-data")) {
            record.parts = parseMultipart(contentType, request.body);
            for (const RecordedPart& part : record.parts) {
                if (part.name == "f")
                    record.code = part.data.toInt();
                else if (part.name == "i")
                    record.encrypted = part.data;
            }
        } else {
            for (const auto& [key, value] : parseForm(request.body)) {
                if (key == "f")
                    record.code = value.toInt();
                else if (key == "i")
                    record.encrypted = value;
            }
        }
        record.plaintext = decryptRequestValue(record.encrypted);
        if (record.plaintext) {
            const QJsonDocument doc = QJsonDocument::fromJson(record.plaintext->toUtf8());
            if (doc.isObject())
                record.json = doc.object();
        }
        return record;
    }

    void answer(QTcpSocket* socket, const ScriptedReply& reply, bool closeAfter) {
        auto send = [this, socket, reply, closeAfter] {
            auto it = connections_.find(socket);
            if (it == connections_.end())
                return;
            it->busy = false;
            switch (reply.kind) {
            case ScriptedReply::Kind::Drop: socket->abort(); return;
            case ScriptedReply::Kind::Stall:
                it->busy = true;  // never answered; the client gives up
                return;
            case ScriptedReply::Kind::Trickle: {
                it->busy = true;
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 100000\r\n\r\n");
                // Often enough that no inactivity time-out fires; the timer goes with the socket.
                auto* drip = new QTimer(socket);
                QObject::connect(drip, &QTimer::timeout, socket, [socket] { socket->write("A"); });
                drip->start(500);
                return;
            }
            case ScriptedReply::Kind::Encrypted:
            case ScriptedReply::Kind::ZeroPadded:
                writeResponse(socket, reply.status, {{"Content-Type", reply.contentType}},
                              encryptReplyBody(reply.body, reply.kind == ScriptedReply::Kind::ZeroPadded), closeAfter);
                break;
            case ScriptedReply::Kind::Raw:
                writeResponse(socket, reply.status, {{"Content-Type", reply.contentType}}, reply.body, closeAfter);
                break;
            }
            if (!closeAfter)
                processBuffer(socket);
        };
        connections_[socket].busy = true;
        if (reply.delayMs > 0)
            QTimer::singleShot(reply.delayMs, socket, send);
        else
            send();
    }
};

// ---- HttpRequest / RecordedRequest ----

QByteArray HttpRequest::header(const QByteArray& name) const {
    return headerValue(headers, name);
}

// ---- ScriptedReply ----

ScriptedReply ScriptedReply::encrypted(const QByteArray& json, int status) {
    ScriptedReply r;
    r.kind = Kind::Encrypted;
    r.body = json;
    r.status = status;
    return r;
}

ScriptedReply ScriptedReply::zeroPadded(const QByteArray& json, int status) {
    ScriptedReply r = encrypted(json, status);
    r.kind = Kind::ZeroPadded;
    return r;
}

ScriptedReply ScriptedReply::raw(const QByteArray& body, int status) {
    ScriptedReply r;
    r.kind = Kind::Raw;
    r.body = body;
    r.status = status;
    return r;
}

ScriptedReply ScriptedReply::drop() {
    ScriptedReply r;
    r.kind = Kind::Drop;
    return r;
}

ScriptedReply ScriptedReply::stall() {
    ScriptedReply r;
    r.kind = Kind::Stall;
    return r;
}

ScriptedReply ScriptedReply::trickle() {
    ScriptedReply r;
    r.kind = Kind::Trickle;
    return r;
}

ScriptedReply ScriptedReply::delayed(int ms) const {
    ScriptedReply r = *this;
    r.delayMs = ms;
    return r;
}

// ---- ServiceStandIn ----

ServiceStandIn::ServiceStandIn() : thread_(std::make_unique<QThread>()), server_(new Server) {
    thread_->setObjectName(QStringLiteral("ServiceStandIn"));
    server_->moveToThread(thread_.get());
    thread_->start();
}

ServiceStandIn::~ServiceStandIn() {
    Server* server = server_;
    QMetaObject::invokeMethod(
        server,
        [server] {
            server->shutDown();
            delete server;
        },
        Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
}

std::optional<TlsIdentity> ServiceStandIn::makeTestCertificate(const QString& directory) {
    QDir().mkpath(directory);
    TlsIdentity identity{QDir(directory).filePath(QStringLiteral("standin-cert.pem")),
                         QDir(directory).filePath(QStringLiteral("standin-key.pem"))};
    QProcess openssl;
    openssl.start(
        QStringLiteral("openssl"),
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
         QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
         QStringLiteral("-keyout"), identity.keyPath, QStringLiteral("-out"), identity.certificatePath,
         QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
         QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost")});
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0)
        return std::nullopt;
    return identity;
}

bool ServiceStandIn::start(quint16 port) {
    bool ok = false;
    Server* server = server_;
    QMetaObject::invokeMethod(
        server, [server, port, &ok] { server->beginListening(port, &ok); }, Qt::BlockingQueuedConnection);
    return ok;
}

bool ServiceStandIn::startTls(const TlsIdentity& identity, quint16 port) {
    server_->tls = identity;
    return start(port);
}

quint16 ServiceStandIn::port() const {
    quint16 p = 0;
    Server* server = server_;
    QMetaObject::invokeMethod(
        server, [server, &p] { p = server->serverPort(); }, Qt::BlockingQueuedConnection);
    return p;
}

QString ServiceStandIn::baseUrl() const {
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(server_->tls ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(port());
}

void ServiceStandIn::setReply(int code, const ScriptedReply& reply) {
    QMutexLocker lock(&server_->mutex);
    server_->scripts[code] = reply;
}

void ServiceStandIn::queueReply(int code, const ScriptedReply& reply) {
    QMutexLocker lock(&server_->mutex);
    server_->queued[code].push_back(reply);
}

QList<RecordedRequest> ServiceStandIn::requests() const {
    QMutexLocker lock(&server_->mutex);
    return server_->recorded;
}

int ServiceStandIn::requestCount() const {
    QMutexLocker lock(&server_->mutex);
    return int(server_->recorded.size());
}

void ServiceStandIn::clearRequests() {
    QMutexLocker lock(&server_->mutex);
    server_->recorded.clear();
}

void ServiceStandIn::reset() {
    QMutexLocker lock(&server_->mutex);
    server_->recorded.clear();
    server_->scripts.clear();
    server_->queued.clear();
}

bool ServiceStandIn::waitForRequests(int count, int timeoutMs) const {
    QDeadlineTimer deadline(timeoutMs);
    while (requestCount() < count) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void ServiceStandIn::addRoute(const QString& pathPrefix, RouteHandler handler) {
    QMutexLocker lock(&server_->mutex);
    server_->routes.append({pathPrefix, std::move(handler)});
}

QByteArray ServiceStandIn::reasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

QByteArray ServiceStandIn::responseHead(int status, const HeaderList& headers, bool close) {
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    for (const auto& [name, value] : headers)
        head += name + ": " + value + "\r\n";
    head += close ? "Connection: close\r\n\r\n" : "Connection: keep-alive\r\n\r\n";
    return head;
}

void ServiceStandIn::writeResponse(QTcpSocket* socket, int status, const HeaderList& headers, const QByteArray& body,
                                   bool close) {
    HeaderList all = headers;
    const bool hasLength = std::any_of(headers.begin(), headers.end(), [](const auto& header) {
        return header.first.compare("Content-Length", Qt::CaseInsensitive) == 0;
    });
    if (!hasLength)
        all.append({"Content-Length", QByteArray::number(body.size())});
    socket->write(responseHead(status, all, close));
    socket->write(body);
    if (close)
        socket->disconnectFromHost();
}

QByteArray ServiceStandIn::encryptReplyBody(const QByteArray& json, bool zeroPadded) {
    std::optional<QByteArray> cipher;
    if (zeroPadded) {
        QByteArray padded = json;
        padded.append(16 - json.size() % 16, '\0');
        cipher = aes(padded, true, false);
    } else {
        cipher = aes(json, true, true);
    }
    return cipher ? cipher->toBase64() : QByteArray();
}

std::optional<QString> ServiceStandIn::decryptRequestValue(const QByteArray& base64) {
    const auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> plain = aes(decoded.decoded, false, true);
    if (!plain)
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(*plain);
    if (utf8.hasError())
        return std::nullopt;
    // Undo the client's quote step exactly: only the backslash right before a quote goes.
    text.replace(QLatin1String("\\\""), QLatin1String("\""));
    return text;
}

QList<QPair<QByteArray, QByteArray>> ServiceStandIn::parseForm(const QByteArray& body) {
    QList<QPair<QByteArray, QByteArray>> fields;
    for (const QByteArray& pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf('=');
        QByteArray key = eq < 0 ? pair : pair.left(eq);
        QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        key.replace('+', ' ');
        value.replace('+', ' ');
        fields.append({QByteArray::fromPercentEncoding(key), QByteArray::fromPercentEncoding(value)});
    }
    return fields;
}

QList<RecordedPart> ServiceStandIn::parseMultipart(const QByteArray& contentType, const QByteArray& body) {
    QList<RecordedPart> parts;
    const std::optional<QByteArray> boundary = headerParameter(contentType, "boundary");
    if (!boundary || boundary->isEmpty())
        return parts;
    const QByteArray delimiter = "--" + *boundary;
    qsizetype pos = body.indexOf(delimiter);
    while (pos >= 0) {
        pos += delimiter.size();
        if (body.mid(pos, 2) == "--")
            break;  // closing delimiter
        if (body.mid(pos, 2) == "\r\n")
            pos += 2;
        const qsizetype next = body.indexOf("\r\n" + delimiter, pos);
        if (next < 0)
            break;
        const QByteArray chunk = body.mid(pos, next - pos);
        const qsizetype headEnd = chunk.indexOf("\r\n\r\n");
        if (headEnd >= 0) {
            RecordedPart part;
            part.headers = parseHeaderLines(chunk.left(headEnd).split('\n'), 0);
            const QByteArray disposition = headerValue(part.headers, "Content-Disposition");
            part.name = headerParameter(disposition, "name").value_or(QByteArray());
            part.fileName = headerParameter(disposition, "filename");
            part.contentType = headerValue(part.headers, "Content-Type");
            part.data = chunk.mid(headEnd + 4);
            parts.append(part);
        }
        pos = next + 2;
    }
    return parts;
}

}  // namespace testsupport
