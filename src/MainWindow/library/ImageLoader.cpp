#include "MainWindow/library/ImageLoader.h"

#include "platform/AppLauncher.h"
#include "platform/Bundle.h"
#include "platform/Log.h"
#include "platform/Paths.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRunnable>

#include <malloc.h>

struct ImageLoader::Job {
    QString key;
    QUrl url;
    QSize pixelSize;  // what the picture is scaled to fill; empty keeps its own size
    QPointer<QNetworkReply> reply;
    std::vector<Ticket> waiters;
    std::unordered_map<Ticket, Completion> completions;
};

namespace {
// A decoder that reads only as many pixels as the fill needs when the format allows it.
QImage decodeFilling(QIODevice* device, QSize pixelSize) {
    QImageReader reader(device);
    reader.setAutoTransform(true);
    if (pixelSize.isEmpty())
        return reader.read();
    const QSize native = reader.size();
    if (native.isValid() && !reader.transformation().testFlag(QImageIOHandler::TransformationRotate90) &&
        (native.width() > 2 * pixelSize.width() && native.height() > 2 * pixelSize.height()))
        reader.setScaledSize(native.scaled(pixelSize, Qt::KeepAspectRatioByExpanding));
    const QImage image = reader.read();
    return image.isNull() ? image : ImageLoader::aspectFill(image, pixelSize);
}

QString keyOf(const QUrl& url, QSize pixelSize) {
    return url.toString(QUrl::FullyEncoded) + QLatin1Char('#') + QString::number(pixelSize.width()) + QLatin1Char('x') +
           QString::number(pixelSize.height());
}
}  // namespace

ImageLoader::ImageLoader(const QString& diskCacheDirectory, ImageCache* memory, QObject* parent)
    : QObject(parent),
      network_(new QNetworkAccessManager(this)),
      ownMemory_(memory ? nullptr : std::make_unique<ImageCache>()),
      memory_(memory ? memory : ownMemory_.get()) {
    auto* cache = new QNetworkDiskCache(network_);
    cache->setCacheDirectory(diskCacheDirectory);
    cache->setMaximumCacheSize(200LL * 1024 * 1024);
    network_->setCache(cache);
    decoders_->setMaxThreadCount(2);
    // A decoded frame (3.7 MB for the 1280 x 720 thumbnails the import writes) and the scaled
    // pictures come straight from the system and go back to it when freed. With glibc's default
    // the threshold rises to the largest block freed, pictures then fill the decoder threads'
    // heaps, which give little back: each scroll through a long list left the window bigger.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
}

ImageLoader::~ImageLoader() {
    stopDecoding();
    // No completion runs while the loader goes.
    for (auto& [key, job] : jobs_) {
        if (job->reply) {
            job->reply->disconnect(this);
            job->reply->abort();
        }
    }
}

std::optional<QUrl> ImageLoader::looseUrl(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    const QUrl plain(text, QUrl::StrictMode);
    if (plain.isValid() && !plain.scheme().isEmpty())
        return plain;
    // The query-allowed characters: letters, digits and !$&'()*+,-./:;=?@_~
    const QByteArray encoded = text.toUtf8().toPercentEncoding(QByteArrayLiteral("!$&'()*+,-./:;=?@_~"));
    const QUrl second = QUrl::fromEncoded(encoded, QUrl::StrictMode);
    if (second.isValid() && !second.scheme().isEmpty())
        return second;
    return std::nullopt;
}

QImage ImageLoader::aspectFill(const QImage& image, QSize size) {
    if (image.isNull() || size.isEmpty())
        return image;
    const QImage scaled = image.scaled(size, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const int x = (scaled.width() - size.width()) / 2;
    const int y = (scaled.height() - size.height()) / 2;
    return scaled.copy(x, y, size.width(), size.height());
}

ImageLoader::Ticket ImageLoader::load(const QUrl& url, QSize fillSize, Completion done) {
    const Ticket ticket = nextTicket_++;
    const QSize pixelSize = fillSize.isEmpty() ? QSize() : fillSize * 2;
    const QString key = keyOf(url, pixelSize);
    if (const std::optional<QImage> hit = memory_->find(key)) {
        tickets_[ticket] = QString();
        hits_[ticket] = std::move(done);
        deliverLater(ticket, *hit);
        return ticket;
    }
    tickets_[ticket] = key;
    auto found = jobs_.find(key);
    if (found != jobs_.end()) {
        found->second->waiters.push_back(ticket);
        found->second->completions[ticket] = std::move(done);
        return ticket;
    }
    auto job = std::make_shared<Job>();
    job->key = key;
    job->url = url;
    job->pixelSize = pixelSize;
    job->waiters.push_back(ticket);
    job->completions[ticket] = std::move(done);
    jobs_[key] = job;

    const QString scheme = url.scheme().toLower();
    if (url.isLocalFile())
        decodeLater(job, QByteArray(), url.toLocalFile());
    else if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        startNetwork(job, network_->cache()->metaData(url).isValid());
    else
        QMetaObject::invokeMethod(
            this, [this, job] { finish(job, QImage()); }, Qt::QueuedConnection);
    return ticket;
}

void ImageLoader::cancel(Ticket ticket) {
    auto found = tickets_.find(ticket);
    if (found == tickets_.end())
        return;
    const QString key = found->second;
    tickets_.erase(found);
    if (key.isEmpty()) {
        hits_.erase(ticket);
        return;
    }
    auto jobIt = jobs_.find(key);
    if (jobIt == jobs_.end())
        return;
    const std::shared_ptr<Job> job = jobIt->second;
    job->completions.erase(ticket);
    std::erase(job->waiters, ticket);
    if (!job->waiters.empty())
        return;
    // Nobody waits any more: the transfer ends now; a decode already running is dropped.
    jobs_.erase(jobIt);
    if (job->reply) {
        QNetworkReply* reply = job->reply;
        job->reply.clear();
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void ImageLoader::startNetwork(const std::shared_ptr<Job>& job, bool fromDisk) {
    QNetworkRequest request(job->url);
    // A picture's address names one picture: a copy on disk is used as it is, without asking the
    // server again (Qt's own freshness rules would send a fresh request for most of them).
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         fromDisk ? QNetworkRequest::AlwaysCache : QNetworkRequest::PreferNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(30000);
    QNetworkReply* reply = network_->get(request);
    job->reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
        if (received > kMaxBodyBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, job, reply, fromDisk] {
        reply->deleteLater();
        if (job->reply != reply)
            return;
        job->reply.clear();
        if (fromDisk && reply->error() != QNetworkReply::NoError) {
            startNetwork(job, false);  // the copy went meanwhile
            return;
        }
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError || (status != 0 && (status < 200 || status >= 300))) {
            finish(job, QImage());
            return;
        }
        decodeLater(job, reply->readAll(), QString());
    });
}

void ImageLoader::stopDecoding() {
    decodingStopped_ = true;
    if (!decoders_)
        return;
    decoders_->clear();
    // A decode that does not end (a file on a hung network mount) must not keep the program
    // from ending: after a while the pool is left to the end of the process.
    if (decoders_->waitForDone(kDecodeWaitMs))
        delete decoders_;
    else
        platform::logLine(QStringLiteral("Image decoding did not end; quitting without it"));
    decoders_ = nullptr;
}

void ImageLoader::decodeLater(const std::shared_ptr<Job>& job, QByteArray data, QString path) {
    if (decodingStopped_ || !decoders_)
        return;
    const QSize pixelSize = job->pixelSize;
    QPointer<ImageLoader> self(this);
    decoders_->start([self, job, data = std::move(data), path = std::move(path), pixelSize]() mutable {
        QImage image;
        if (path.isEmpty()) {
            QBuffer buffer(&data);
            buffer.open(QIODevice::ReadOnly);
            image = decodeFilling(&buffer, pixelSize);
        } else {
            // Only a regular file of a sane size: a FIFO or a device would block the decoder for good.
            const QFileInfo info(path);
            QFile file(path);
            if (info.isFile() && info.size() <= kMaxBodyBytes && file.open(QIODevice::ReadOnly))
                image = decodeFilling(&file, pixelSize);
        }
        // The loader may be gone when its end stopped waiting for this job.
        if (ImageLoader* target = self.data())
            QMetaObject::invokeMethod(
                target,
                [self, job, image] {
                    if (self)
                        self->finish(job, image);
                },
                Qt::QueuedConnection);
    });
}

void ImageLoader::finish(const std::shared_ptr<Job>& job, const QImage& image) {
    if (!image.isNull())
        memory_->insert(job->key, image);
    auto jobIt = jobs_.find(job->key);
    if (jobIt == jobs_.end() || jobIt->second != job)
        return;  // every waiter cancelled
    jobs_.erase(jobIt);
    const std::vector<Ticket> waiters = job->waiters;
    for (Ticket ticket : waiters) {
        if (tickets_.erase(ticket) == 0)
            continue;  // cancelled by an earlier completion
        auto completion = job->completions.find(ticket);
        if (completion != job->completions.end() && completion->second)
            completion->second(image);
    }
}

void ImageLoader::deliverLater(Ticket ticket, const QImage& image) {
    QMetaObject::invokeMethod(
        this,
        [this, ticket, image] {
            auto found = hits_.find(ticket);
            if (found == hits_.end())
                return;
            Completion done = std::move(found->second);
            hits_.erase(found);
            tickets_.erase(ticket);
            if (done)
                done(image);
        },
        Qt::QueuedConnection);
}
