#include "player/MpvPlayer.h"

#include "platform/Log.h"

#include <mpv/client.h>

#include <QFileInfo>
#include <QMetaObject>
#include <clocale>
#include <malloc.h>
#include <cstring>

namespace {
enum : uint64_t { kEofReached = 1, kPreloaded = 2 };

void setOption(mpv_handle* mpv, const char* name, const char* value) {
    if (mpv_set_option_string(mpv, name, value) < 0)
        platform::logLine(QStringLiteral("mpv option refused: %1=%2").arg(QLatin1String(name), QLatin1String(value)));
}
}  // namespace

MpvPlayer::MpvPlayer(std::unique_ptr<VideoRenderer> renderer, QObject* parent)
    : MediaPlayer(parent), renderer_(std::move(renderer)) {
    // Pictures and decoder buffers (megabytes each) come straight from the system and go back to
    // it when freed. With glibc's default the threshold rises to the largest block freed, frames
    // then fill the decoder threads' heaps, and a heap other than the main one never gives back
    // its top, not even to malloc_trim: a switched-off player kept 80 MB it no longer used.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
    makeCore();
}

void MpvPlayer::makeCore() {
    // libmpv refuses to start unless numbers are formatted the C way; Qt set the locale from the
    // environment when the application object was made.
    std::setlocale(LC_NUMERIC, "C");
    mpv_ = mpv_create();
    if (!mpv_) {
        platform::logLine(QStringLiteral("mpv core could not be created"));
        return;
    }
    setOption(mpv_, "vo", "libmpv");
    setOption(mpv_, "hwdec", "auto-safe");
    setOption(mpv_, "keep-open", "yes");       // stay on the last frame at the end ...
    setOption(mpv_, "keep-open-pause", "no");  // ... without changing the rate
    setOption(mpv_, "idle", "yes");
    setOption(mpv_, "pause", "yes");
    setOption(mpv_, "input-default-bindings", "no");
    setOption(mpv_, "input-vo-keyboard", "no");
    setOption(mpv_, "osc", "no");
    setOption(mpv_, "osd-level", "0");
    setOption(mpv_, "audio-display", "no");
    // Nothing of mpv's own interface: no scripts (the built-in ones run a Lua interpreter each),
    // no subtitles, no on-screen text, so no font machinery is loaded either.
    setOption(mpv_, "load-scripts", "no");
    setOption(mpv_, "ytdl", "no");
    setOption(mpv_, "load-stats-overlay", "no");
    setOption(mpv_, "load-osd-console", "no");
    setOption(mpv_, "load-auto-profiles", "no");
    setOption(mpv_, "osd-bar", "no");
    setOption(mpv_, "sub-auto", "no");
    setOption(mpv_, "sid", "no");
    // swscale's fast bilinear converter instead of zimg: it halves the player's CPU (the colour
    // conversion cost more than decoding); the price is a small, not visible, error on saturated
    // colour edges.
    // Without a sound device (a sound server not up yet, a headless session) the sound track
    // stays selected and timed as if it were heard, instead of being dropped for good.
    setOption(mpv_, "audio-fallback-to-null", "yes");
    setOption(mpv_, "sws-allow-zimg", "no");
    setOption(mpv_, "sws-fast", "yes");
    if (mpv_initialize(mpv_) < 0) {
        platform::logLine(QStringLiteral("mpv core could not be initialized"));
        mpv_terminate_destroy(mpv_);
        mpv_ = nullptr;
        return;
    }
    mpv_request_log_messages(mpv_, "error");
    mpv_observe_property(mpv_, kEofReached, "eof-reached", MPV_FORMAT_FLAG);
    // Before each file's decoders are made: their thread count follows the picture's size.
    mpv_hook_add(mpv_, kPreloaded, "on_preloaded", 0);
    // One render context per core: the software renderer takes the place of one that cannot be made.
    if (renderer_ && !renderer_->attach(mpv_)) {
        bool attached = false;
        if (renderer_->name() != QLatin1String("software")) {
            platform::logLine(QStringLiteral("video renderer: software (mpv's %1 renderer could not be made)")
                                  .arg(renderer_->name()));
            renderer_ = makeSoftwareRenderer();
            attached = renderer_->attach(mpv_);
        }
        if (!attached)
            platform::logLine(QStringLiteral("mpv render context could not be created"));
    }
    mpv_set_wakeup_callback(mpv_, &MpvPlayer::onWakeup, this);
}

MpvPlayer::~MpvPlayer() {
    destroyCore();
}

void MpvPlayer::destroyCore() {
    if (!mpv_)
        return;
    mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
    mpvLines_.flush();
    // The render context must go before the core.
    if (renderer_)
        renderer_->detach();
    mpv_terminate_destroy(mpv_);
    mpv_ = nullptr;
}

void MpvPlayer::onWakeup(void* context) {
    // mpv's thread: drain the events on the main thread, once per burst.
    auto* self = static_cast<MpvPlayer*>(context);
    if (!self->wakeupPending_.exchange(true))
        QMetaObject::invokeMethod(
            self, [self] { self->drainEvents(); }, Qt::QueuedConnection);
}

void MpvPlayer::drainEvents() {
    wakeupPending_ = false;
    while (mpv_) {
        mpv_event* event = mpv_wait_event(mpv_, 0);
        if (!event || event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(*event);
    }
}

void MpvPlayer::handleEvent(const mpv_event& event) {
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
        streamEntry_ = quint64(static_cast<mpv_event_start_file*>(event.data)->playlist_entry_id);
        break;
    case MPV_EVENT_FILE_LOADED:
        if (streamEntry_ != current_)
            break;
        if (!hasVideoTrack()) {
            // Sound alone (or nothing) would play under a black wallpaper.
            platform::logLine(QStringLiteral("video failed: no video track"));
            failedEntry_ = streamEntry_;
            const char* stop[] = {"stop", nullptr};
            mpv_command(mpv_, stop);
            lastFailure_ = Failure::noVideoTrack;
            emit itemFailed(streamEntry_);
            break;
        }
        loaded_ = true;
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        // The first frame of the item (or of a seek) is decoded: it plays.
        if (streamEntry_ != failedEntry_) {
            logDecoder();
            emit itemStarted(streamEntry_);
        }
        break;
    case MPV_EVENT_VIDEO_RECONFIG:
        // The renderer reads the new size from the core at its next frame.
        if (renderer_)
            renderer_->setVideoSize(QSize());
        break;
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<mpv_event_end_file*>(event.data);
        const quint64 entry = quint64(end->playlist_entry_id);
        if (entry == current_)
            loaded_ = false;
        if (end->reason == MPV_END_FILE_REASON_ERROR) {
            platform::logLine(QStringLiteral("video failed: %1").arg(QString::fromUtf8(mpv_error_string(end->error))));
            lastFailure_ = Failure::unplayable;
            emit itemFailed(entry);
        } else if (end->reason == MPV_END_FILE_REASON_EOF) {
            emit itemEnded(entry);
        }
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* property = static_cast<mpv_event_property*>(event.data);
        if (event.reply_userdata == kEofReached && property->format == MPV_FORMAT_FLAG &&
            *static_cast<int*>(property->data))
            emit itemEnded(streamEntry_);
        break;
    }
    case MPV_EVENT_HOOK:
        if (event.reply_userdata == kPreloaded)
            limitDecoderThreads();
        mpv_hook_continue(mpv_, static_cast<mpv_event_hook*>(event.data)->id);
        break;
    case MPV_EVENT_LOG_MESSAGE: {
        const auto* message = static_cast<mpv_event_log_message*>(event.data);
        // A damaged file that loops says the same on every pass.
        mpvLines_.add(QStringLiteral("mpv: %1").arg(QString::fromUtf8(message->text).trimmed()));
        break;
    }
    default: break;
    }
}

void MpvPlayer::logDecoder() {
    // Once per item, after its first frame (mpv picks the decoder then): the failed probes mpv
    // logs on a machine without those drivers read like errors, this says what was taken.
    if (decoderLogged_ == streamEntry_)
        return;
    decoderLogged_ = streamEntry_;
    char* hwdec = mpv_get_property_string(mpv_, "hwdec-current");
    const QString name = hwdec && *hwdec && std::strcmp(hwdec, "no") != 0 ? QString::fromUtf8(hwdec) : QString();
    mpv_free(hwdec);
    char* codec = mpv_get_property_string(mpv_, "current-tracks/video/codec");
    platform::logLine(QStringLiteral("video decoder: %1 (%2)")
                          .arg(name.isEmpty() ? QStringLiteral("software") : QStringLiteral("hardware, ") + name,
                               codec ? QString::fromUtf8(codec) : QStringLiteral("unknown codec")));
    mpv_free(codec);
}

int decoderThreadsFor(const QSize& picture) {
    // Frame threading keeps a picture in flight per thread: at 8192x8192 the automatic count
    // held 2 GB and decoded slower than one thread. Above 4K one thread decodes.
    return qint64(picture.width()) * picture.height() > qint64(4096) * 2304 ? 1 : 0;
}

void MpvPlayer::limitDecoderThreads() {
    int64_t tracks = 0;
    mpv_get_property(mpv_, "track-list/count", MPV_FORMAT_INT64, &tracks);
    QSize largest;
    for (int64_t i = 0; i < tracks; ++i) {
        const QByteArray track = "track-list/" + QByteArray::number(qint64(i)) + '/';
        char* type = mpv_get_property_string(mpv_, track + "type");
        const bool video = type && std::strcmp(type, "video") == 0;
        mpv_free(type);
        int64_t w = 0, h = 0;
        if (!video || mpv_get_property(mpv_, track + "demux-w", MPV_FORMAT_INT64, &w) < 0 ||
            mpv_get_property(mpv_, track + "demux-h", MPV_FORMAT_INT64, &h) < 0)
            continue;
        if (w * h > qint64(largest.width()) * largest.height())
            largest = QSize(int(w), int(h));
    }
    // For this file only: the next one starts from the automatic count again.
    const QByteArray threads = QByteArray::number(decoderThreadsFor(largest));
    mpv_set_property_string(mpv_, "file-local-options/vd-lavc-threads", threads.constData());
}

int MpvPlayer::decoderThreads() const {
    int64_t threads = -1;
    if (mpv_)
        mpv_get_property(mpv_, "vd-lavc-threads", MPV_FORMAT_INT64, &threads);
    return int(threads);
}

void MpvPlayer::failLater(quint64 item) {
    lastFailure_ = Failure::unplayable;
    QMetaObject::invokeMethod(
        this, [this, item] { emit itemFailed(item); }, Qt::QueuedConnection);
}

bool MpvPlayer::hasVideoTrack() const {
    int64_t track = 0;
    return mpv_get_property(mpv_, "current-tracks/video/id", MPV_FORMAT_INT64, &track) >= 0 && track > 0;
}

quint64 MpvPlayer::replaceItem(const QUrl& url) {
    loaded_ = false;
    mpvLines_.flush();  // what the last item repeated is told before the next one's lines
    // An empty file holds no video; mpv's probing of it takes many seconds to give up.
    const bool emptyFile = url.isLocalFile() && QFileInfo(url.toLocalFile()).size() == 0;
    if (mpv_ && emptyFile) {
        platform::logLine(QStringLiteral("video failed: empty file"));
        const char* stop[] = {"stop", nullptr};
        mpv_command(mpv_, stop);
    }
    if (!mpv_ || emptyFile) {
        current_ = url.isEmpty() ? 0 : ++localItems_;
        if (current_)
            failLater(current_);
        return current_;
    }
    if (url.isEmpty()) {
        const char* stop[] = {"stop", nullptr};
        mpv_command(mpv_, stop);
        current_ = 0;
        return 0;
    }
    const QByteArray path = url.isLocalFile() ? url.toLocalFile().toUtf8() : url.toEncoded();
    const char* load[] = {"loadfile", path.constData(), "replace", nullptr};
    mpv_node result;
    std::memset(&result, 0, sizeof result);
    if (mpv_command_ret(mpv_, load, &result) < 0) {
        current_ = ++localItems_;
        failLater(current_);
        return current_;
    }
    current_ = ++localItems_;
    if (result.format == MPV_FORMAT_NODE_MAP) {
        for (int i = 0; i < result.u.list->num; ++i) {
            if (std::strcmp(result.u.list->keys[i], "playlist_entry_id") == 0 &&
                result.u.list->values[i].format == MPV_FORMAT_INT64)
                current_ = quint64(result.u.list->values[i].u.int64);
        }
    }
    mpv_free_node_contents(&result);
    return current_;
}

void MpvPlayer::releaseMemory() {
    if (!mpv_)
        return;
    // A core that has played keeps its decoders' pools, caches and threads after the item is
    // stopped (100 MB and more): a new core holds what one that has not played yet holds. The
    // renderer's pictures go too, and the heap hands its free pages back.
    destroyCore();
    if (renderer_)
        renderer_->releaseFrames();
    loaded_ = false;
    current_ = 0;
    streamEntry_ = 0;
    decoderLogged_ = 0;
    wakeupPending_ = false;
    malloc_trim(0);
    makeCore();
    if (!mpv_)
        return;
    setMuted(muted_);
    setVolume(volume_);
}

void MpvPlayer::play() {
    playing_ = true;
    if (mpv_) {
        int paused = 0;
        mpv_set_property(mpv_, "pause", MPV_FORMAT_FLAG, &paused);
    }
}

void MpvPlayer::pause() {
    playing_ = false;
    if (mpv_) {
        int paused = 1;
        mpv_set_property(mpv_, "pause", MPV_FORMAT_FLAG, &paused);
    }
}

void MpvPlayer::seekToZero() {
    // Nothing to seek in a failed or missing item; seeking must not reload it either.
    if (!mpv_ || current_ == 0 || !loaded_)
        return;
    const char* seek[] = {"seek", "0", "absolute", nullptr};
    mpv_command_async(mpv_, 0, seek);
}

void MpvPlayer::setMuted(bool muted) {
    muted_ = muted;
    if (mpv_) {
        int flag = muted ? 1 : 0;
        mpv_set_property(mpv_, "mute", MPV_FORMAT_FLAG, &flag);
        // A muted wallpaper decodes no sound at all; mpv keeps the position when the track
        // comes back.
        mpv_set_property_string(mpv_, "aid", muted ? "no" : "auto");
    }
}

void MpvPlayer::setVolume(float volume) {
    volume_ = qBound(0.0f, volume, 1.0f);
    if (mpv_) {
        double percent = double(volume_) * 100.0;
        mpv_set_property(mpv_, "volume", MPV_FORMAT_DOUBLE, &percent);
    }
}

double MpvPlayer::position() const {
    double seconds = 0;
    if (mpv_)
        mpv_get_property(mpv_, "time-pos", MPV_FORMAT_DOUBLE, &seconds);
    return seconds;
}

bool MpvPlayer::decodesSound() const {
    int64_t track = 0;
    return mpv_ && mpv_get_property(mpv_, "current-tracks/audio/id", MPV_FORMAT_INT64, &track) >= 0 && track > 0;
}
