#pragma once
// File serving for the service stand-in: GET <prefix><name> answers from a file on disk with a
// strong ETag and Last-Modified, honours a single "Range: bytes=N-[M]" with "If-Range" (206,
// 200 when the validator differs, 416 past the end), and can be slowed down or made to break
// the connection after a number of body bytes. It counts what it sends.
#include "support/ServiceStandIn.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

namespace testsupport {

// One answered file request.
struct ServedFileRequest {
    QString name;
    QByteArray range;    // the Range header as sent, empty when none
    QByteArray ifRange;  // the If-Range header as sent, empty when none
    int status = 0;      // 200, 206, 416 or an error status
    qint64 firstByte = 0;
    qint64 plannedBytes = 0;  // body bytes the answer announced
};

class FileServing {
public:
    // Registers the route on `standIn`; the stand-in must outlive this object's use.
    explicit FileServing(ServiceStandIn& standIn, const QString& prefix = QStringLiteral("/files/"));
    ~FileServing();
    FileServing(const FileServing&) = delete;
    FileServing& operator=(const FileServing&) = delete;

    // Serves `path` under `name`; the ETag is made from size and modification time unless given.
    void addFile(const QString& name, const QString& path, const QByteArray& etag = QByteArray());
    void setEtag(const QString& name, const QByteArray& etag);
    QByteArray etag(const QString& name) const;
    // "<base>/<prefix><name>"
    QString url(const QString& name) const;

    // Body bytes per second of each answer (0: as fast as possible).
    void setSpeedLimit(qint64 bytesPerSecond);
    // Each later answer closes its connection after this many body bytes (-1: never).
    void setFailAfter(qint64 bytes);
    // Each later request is answered with this error status and a short text (0: served).
    void setErrorStatus(int status);
    // Each later 206 starts this many bytes away from the asked start, and says so.
    void setRangeShift(qint64 bytes);

    // Body bytes handed to connections since the start or the last reset.
    qint64 bytesSent() const;
    QList<ServedFileRequest> requests() const;
    // Bodies still being sent: an answer ends only when its connection closes, and a client
    // that went away may have its bytes counted until the server notices.
    int answersInProgress() const;
    void resetCounters();

    struct State;

private:
    ServiceStandIn& standIn_;
    QString prefix_;
    std::shared_ptr<State> state_;
};

}  // namespace testsupport
