#include "LibraryTestSupport.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <QTimer>

#include "platform/MainThread.h"
#include "service/VideoSign.h"
#include "shared/LocalVideoDBManager.h"
#include "support/ProcessHelpers.h"

namespace librarytest {

QString copyOfClip(const QTemporaryDir& folder, const QString& clip, const QString& name) {
    const QString target = folder.filePath(name.isEmpty() ? clip : name);
    QFile::remove(target);
    QFile::copy(QDir(QStringLiteral(TAVVEL_TEST_VIDEOS_DIR)).filePath(clip), target);
    return target;
}

void useUnreachableService() {
    qputenv("TAVVEL_SERVICE_URL", testsupport::refusedServiceUrl().toUtf8());
}

void EventLog::add(const QString& event) {
    QMutexLocker lock(&mutex_);
    events_.append(event);
}

void EventLog::clear() {
    QMutexLocker lock(&mutex_);
    events_.clear();
}

QStringList EventLog::events() const {
    QMutexLocker lock(&mutex_);
    return events_;
}

void RelayingImporter::importVideo(const QUrl& url, bool checkOnline, ImportCompletion completion) {
    ++calls;
    const int now = ++inFlight;
    int most = mostInFlight.load();
    while (now > most && !mostInFlight.compare_exchange_weak(most, now)) {
    }
    auto finish = [this, completion = std::move(completion)](const QString& sign, ImportVideoStatus status) {
        --inFlight;
        completion(sign, status);
    };
    switch (delivery_) {
    case Delivery::Synchronous: {
        const std::optional<QString> sign = videoSign(url.toLocalFile());
        const bool known = sign && LocalVideoDBManager::shared().videoWithSign(*sign);
        finish(sign.value_or(QString()), known ? ImportVideoStatus::isExist : ImportVideoStatus::failure);
        return;
    }
    case Delivery::OtherThread:
        LocalLibraryModel::importVideo(url, checkOnline, [finish](const QString& sign, ImportVideoStatus status) {
            QThread* relay = QThread::create([finish, sign, status] { finish(sign, status); });
            QObject::connect(relay, &QThread::finished, relay, &QObject::deleteLater);
            relay->start();
        });
        return;
    case Delivery::Late:
        LocalLibraryModel::importVideo(url, checkOnline, [finish](const QString& sign, ImportVideoStatus status) {
            QTimer::singleShot(150, QCoreApplication::instance(), [finish, sign, status] { finish(sign, status); });
        });
        return;
    }
}

}  // namespace librarytest
