#include "service/VideoProbe.h"

#include <QTransform>

#include <algorithm>
#include <cmath>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/error.h>
#include <libavutil/mathematics.h>
#include <libswscale/swscale.h>
}

namespace {

QString describe(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFreer {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;

// Opens the file and reads its stream information; `error` gets FFmpeg's description on failure.
FormatPtr openMedia(const QString& path, QString* error) {
    AVFormatContext* raw = nullptr;
    const QByteArray name = path.toUtf8();
    int rc = avformat_open_input(&raw, name.constData(), nullptr, nullptr);
    if (rc < 0) {
        if (error)
            *error = describe(rc);
        return nullptr;
    }
    FormatPtr context(raw);
    rc = avformat_find_stream_info(context.get(), nullptr);
    if (rc < 0) {
        if (error)
            *error = describe(rc);
        return nullptr;
    }
    return context;
}

int firstVideoStream(const AVFormatContext* context) {
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        // Cover art is an attached picture, not a video track.
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return static_cast<int>(i);
    }
    return -1;
}

double seconds(int64_t value, AVRational base) {
    return value == AV_NOPTS_VALUE ? 0.0 : static_cast<double>(value) * av_q2d(base);
}

// The coded size stretched by the pixel aspect the way the player shows it: the side the pixels
// are long in grows, the other stays. An unknown or absurd aspect counts as square.
QSize stretchedSize(qint64 width, qint64 height, AVRational pixelAspect) {
    const qint64 num = pixelAspect.num;
    const qint64 den = pixelAspect.den;
    if (num > 0 && den > 0 && num <= den * 100 && den <= num * 100) {
        if (num > den)
            width = av_rescale(width, num, den);
        else if (den > num)
            height = av_rescale(height, den, num);
    }
    constexpr qint64 kLargest = 1 << 24;
    return QSize(static_cast<int>(std::clamp<qint64>(width, 0, kLargest)),
                 static_cast<int>(std::clamp<qint64>(height, 0, kLargest)));
}

int streamRotation(AVStream* stream) {
    const uint8_t* data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (!data)
        return 0;
    return uprightRotation(av_display_rotation_get(reinterpret_cast<const int32_t*>(data)));
}

}  // namespace

QImage rgbaImage(const AVFrame* frame, QString* error, QSize size) {
    if (size.isEmpty())
        size = QSize(frame->width, frame->height);
    // Scaling in the conversion itself keeps a huge frame from ever existing as RGBA.
    std::unique_ptr<SwsContext, SwsFreer> scaler(
        sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), size.width(),
                       size.height(), AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler) {
        if (error)
            *error = QStringLiteral("unsupported pixel format");
        return {};
    }
    // swscale's vector code writes whole blocks of pixels, past a row whose width is not a multiple
    // of 16: convert into rows padded to 32 pixels with a spare row, then keep the picture alone.
    const int paddedWidth = (size.width() + 31) / 32 * 32;
    QImage padded(paddedWidth, size.height() + 1, QImage::Format_RGBA8888);
    if (padded.isNull()) {
        if (error)
            *error = QStringLiteral("out of memory");
        return {};
    }
    uint8_t* planes[4] = {padded.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(padded.bytesPerLine()), 0, 0, 0};
    sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
    return padded.copy(0, 0, size.width(), size.height());
}

QSize thumbnailSize(QSize shown) {
    const qint64 width = std::max(shown.width(), 1);
    const qint64 height = std::max(shown.height(), 1);
    const qint64 longest = std::max(width, height);
    if (longest <= kThumbnailLongestSide)
        return QSize(static_cast<int>(width), static_cast<int>(height));
    const auto scaled = [longest](qint64 side) {
        return static_cast<int>(std::max<qint64>(1, (side * kThumbnailLongestSide + longest / 2) / longest));
    };
    return QSize(scaled(width), scaled(height));
}

int uprightRotation(double displayMatrixDegrees) {
    if (std::isnan(displayMatrixDegrees))
        return 0;
    // The matrix turns counter-clockwise; the picture is shown turned back clockwise by that much.
    long theta = -std::lround(displayMatrixDegrees);
    theta %= 360;
    if (theta < 0)
        theta += 360;
    return static_cast<int>(((theta + 45) / 90 % 4) * 90);
}

namespace {

// What an opened file tells without decoding.
VideoProbe probeContext(AVFormatContext* context) {
    VideoProbe probe;
    probe.opened = true;

    const int videoIndex = firstVideoStream(context);
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
        probe.duration = static_cast<double>(context->duration) / AV_TIME_BASE;
    else if (videoIndex >= 0)
        probe.duration = seconds(context->streams[videoIndex]->duration, context->streams[videoIndex]->time_base);

    for (unsigned i = 0; i < context->nb_streams; ++i) {
        if (context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            probe.hasAudio = true;
    }
    if (videoIndex < 0)
        return probe;

    AVStream* stream = context->streams[videoIndex];
    probe.hasVideoTrack = true;
    probe.width = stream->codecpar->width;
    probe.height = stream->codecpar->height;
    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = stream->r_frame_rate;
    if (rate.num > 0 && rate.den > 0)
        probe.frameRate = av_q2d(rate);
    probe.bitRate = stream->codecpar->bit_rate > 0 ? stream->codecpar->bit_rate
                                                   : std::max<int64_t>(context->bit_rate, 0);
    probe.rotation = streamRotation(stream);
    QSize shown = stretchedSize(probe.width, probe.height, av_guess_sample_aspect_ratio(context, stream, nullptr));
    if (probe.rotation % 180 != 0)
        shown.transpose();
    probe.shownWidth = shown.width();
    probe.shownHeight = shown.height();
    return probe;
}

// The frame of an opened file; `error` must not be null.
QImage frameOfContext(AVFormatContext* context, qint64 atSecond, QString* error) {
    const int videoIndex = firstVideoStream(context);
    if (videoIndex < 0) {
        *error = QStringLiteral("no video track");
        return {};
    }
    AVStream* stream = context->streams[videoIndex];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
        *error = describe(AVERROR_DECODER_NOT_FOUND);
        return {};
    }
    std::unique_ptr<AVCodecContext, CodecFreer> decoder(avcodec_alloc_context3(codec));
    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    std::unique_ptr<AVFrame, FrameFreer> kept(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    if (!decoder || !frame || !kept || !packet) {
        *error = describe(AVERROR(ENOMEM));
        return {};
    }
    int rc = avcodec_parameters_to_context(decoder.get(), stream->codecpar);
    if (rc >= 0) {
        // One frame is wanted: slice threads only, frame threads would add a delay of frames.
        decoder->thread_type = FF_THREAD_SLICE;
        rc = avcodec_open2(decoder.get(), codec, nullptr);
    }
    if (rc < 0) {
        *error = describe(rc);
        return {};
    }
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        if (static_cast<int>(i) != videoIndex)
            context->streams[i]->discard = AVDISCARD_ALL;
    }

    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    const int64_t target = start + av_rescale_q(std::max<qint64>(atSecond, 0), AVRational{1, 1}, stream->time_base);
    if (target > start)
        av_seek_frame(context, videoIndex, target, AVSEEK_FLAG_BACKWARD);  // a failed seek decodes from the start

    bool haveFrame = false;
    bool draining = false;
    int lastError = 0;
    while (true) {
        if (!draining) {
            rc = av_read_frame(context, packet.get());
            if (rc < 0) {
                draining = true;
                avcodec_send_packet(decoder.get(), nullptr);
            } else {
                if (packet->stream_index == videoIndex) {
                    const int sent = avcodec_send_packet(decoder.get(), packet.get());
                    if (sent < 0 && sent != AVERROR(EAGAIN))
                        lastError = sent;
                }
                av_packet_unref(packet.get());
            }
        }
        bool reachedTarget = false;
        while ((rc = avcodec_receive_frame(decoder.get(), frame.get())) >= 0) {
            av_frame_unref(kept.get());
            av_frame_move_ref(kept.get(), frame.get());
            haveFrame = true;
            const int64_t pts = kept->best_effort_timestamp;
            if (pts == AV_NOPTS_VALUE || pts >= target) {
                reachedTarget = true;
                break;
            }
        }
        if (rc != AVERROR(EAGAIN) && rc != AVERROR_EOF && rc < 0)
            lastError = rc;
        // After the flush every remaining frame has come out: nothing more can follow.
        if (reachedTarget || rc == AVERROR_EOF || draining)
            break;
    }
    if (!haveFrame) {
        *error = describe(lastError < 0 ? lastError : AVERROR_INVALIDDATA);
        return {};
    }
    // The frame holds its own picture; the decoder's tables (a third of a huge picture's size)
    // go before the conversion.
    decoder.reset();
    const QSize shown = stretchedSize(kept->width, kept->height,
                                      av_guess_sample_aspect_ratio(context, stream, kept.get()));
    QImage image = rgbaImage(kept.get(), error, thumbnailSize(shown));
    av_frame_unref(kept.get());  // the decoded frame of a huge video is not kept past its conversion
    if (image.isNull())
        return {};
    const int rotation = streamRotation(stream);
    if (rotation != 0)
        image = image.transformed(QTransform().rotate(rotation));
    return image;
}

}  // namespace

VideoProbe probeVideo(const QString& path) {
    return probeVideo(path, nullptr);
}

VideoProbe probeVideo(const QString& path, QImage* middleFrame, QString* frameError) {
    QString error;
    FormatPtr context = openMedia(path, &error);
    if (!context) {
        VideoProbe probe;
        probe.error = error;
        if (frameError)
            *frameError = error;
        return probe;
    }
    VideoProbe probe = probeContext(context.get());
    if (middleFrame && probe.duration > 0) {
        *middleFrame = frameOfContext(context.get(), static_cast<qint64>(probe.duration / 2), &error);
        if (frameError)
            *frameError = error;
    }
    return probe;
}

QImage videoFrame(const QString& path, qint64 atSecond, QString* error) {
    QString ignored;
    if (!error)
        error = &ignored;
    FormatPtr context = openMedia(path, error);
    if (!context)
        return {};
    return frameOfContext(context.get(), atSecond, error);
}
