#pragma once
#include "MainWindow/library/ImageCache.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

class QNetworkAccessManager;
class QNetworkReply;

// Loads pictures for the main window: http(s) addresses through a QNetworkAccessManager with a
// disk cache in Tavvel's own cache folder, file addresses straight from the disk (a local PNG
// never goes through the network stack or the disk cache). Decoding and scaling run on worker
// threads; results come back on the main thread. Decoded pictures are also kept in an
// ImageCache, whose limit start-up sets. Requests for the same address and size share one
// transfer.
class ImageLoader : public QObject {
    Q_OBJECT
public:
    // Without `memory` the loader keeps a cache of its own.
    explicit ImageLoader(const QString& diskCacheDirectory, ImageCache* memory = nullptr, QObject* parent = nullptr);
    ~ImageLoader() override;

    using Ticket = quint64;
    using Completion = std::function<void(const QImage& image)>;

    // Starts loading `url`. With a non-empty `fillSize` the picture is scaled to fill twice that
    // size (aspect fill, centre kept), sharp on high-resolution screens. `done` runs later on the
    // main thread, with a null image when the address cannot be read or decoded; it never runs
    // once the ticket was cancelled. The ticket is never 0.
    Ticket load(const QUrl& url, QSize fillSize, Completion done);
    void cancel(Ticket ticket);
    bool isPending(Ticket ticket) const { return tickets_.count(ticket) != 0; }

    ImageCache& memory() const { return *memory_; }
    // Waits a while for the running decodes and starts no more (the program is ending).
    void stopDecoding();

    QNetworkAccessManager& network() { return *network_; }

    // The address of a stored text: taken as it is when it parses strictly with a scheme,
    // otherwise percent-encoded (everything outside the query-allowed set) and parsed once more.
    // None when both fail or the text is empty.
    static std::optional<QUrl> looseUrl(const QString& text);
    // `image` scaled to cover `size` and cropped to it around its centre.
    static QImage aspectFill(const QImage& image, QSize size);

    // How long the end of the loader waits for running decodes.
    static constexpr int kDecodeWaitMs = 3000;
    // Bodies above this size are abandoned.
    static constexpr qint64 kMaxBodyBytes = 32 * 1024 * 1024;

private:
    struct Job;
    void startNetwork(const std::shared_ptr<Job>& job, bool fromDisk);
    void decodeLater(const std::shared_ptr<Job>& job, QByteArray data, QString path);
    void finish(const std::shared_ptr<Job>& job, const QImage& image);
    void deliverLater(Ticket ticket, const QImage& image);

    QNetworkAccessManager* network_;
    QThreadPool* decoders_ = new QThreadPool;  // owned; left running when a decode never ends
    bool decodingStopped_ = false;
    std::unique_ptr<ImageCache> ownMemory_;
    ImageCache* memory_;
    std::unordered_map<QString, std::shared_ptr<Job>> jobs_;  // by address and size
    std::unordered_map<Ticket, QString> tickets_;             // pending ticket -> job key ("" for a memory hit)
    std::unordered_map<Ticket, Completion> hits_;             // memory hits waiting for delivery
    Ticket nextTicket_ = 1;
};
