#pragma once
#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

// What the import reads from a media file (FFmpeg demuxing only, no decoding).
struct VideoProbe {
    bool opened = false;  // false: the file could not be opened or read as media
    QString error;        // FFmpeg's description when !opened
    double duration = 0;  // seconds; 0 when unknown
    bool hasVideoTrack = false;
    qint64 width = 0;  // natural (coded) size of the first video track, not rotated
    qint64 height = 0;
    double frameRate = 0;   // nominal frames per second of that track
    qint64 bitRate = 0;     // bits per second: the track's, else the container's
    bool hasAudio = false;  // at least one audio track
    int rotation = 0;       // clockwise degrees (0, 90, 180, 270) that turn a frame upright
    // The size as played: the pixel aspect stretches one side (as the player does, never
    // shrinking), then the rotation turns it upright. 0 by 0 without a video track.
    qint64 shownWidth = 0;
    qint64 shownHeight = 0;
};

// The longest side of a frame taken for a thumbnail: twice the largest picture the window shows
// of a video, with room to spare; a larger video is scaled down while its frame is converted.
inline constexpr int kThumbnailLongestSide = 1280;

VideoProbe probeVideo(const QString& path);
// The same, plus the frame that videoFrame gives at the middle second, from one opening of the
// file. `middleFrame` stays untouched when the file does not open or its duration is unknown;
// otherwise a null image means
// no frame, with FFmpeg's description in `frameError`.
VideoProbe probeVideo(const QString& path, QImage* middleFrame, QString* frameError = nullptr);

// The first frame of the first video track at or after `atSecond` (the last frame when the file
// ends before it) at its shown shape, within kThumbnailLongestSide, turned upright by the track's
// display matrix. A null image and `error` set when no frame can be taken.
QImage videoFrame(const QString& path, qint64 atSecond, QString* error = nullptr);

struct AVFrame;
// A decoded frame of any pixel format as an RGBA picture of `size` (the frame's own when empty),
// scaled in the one conversion; a null image and `error` set when the format cannot be converted.
QImage rgbaImage(const AVFrame* frame, QString* error = nullptr, QSize size = QSize());

// The size a frame of `shown` size (pixel aspect applied, not rotated) is converted to: the same,
// or scaled down to fit kThumbnailLongestSide keeping its shape, at least 1 by 1.
QSize thumbnailSize(QSize shown);

// Clockwise degrees, a multiple of 90, for a display matrix's rotation (FFmpeg's convention:
// counter-clockwise degrees); 0 for NaN.
int uprightRotation(double displayMatrixDegrees);
