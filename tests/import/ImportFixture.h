#pragma once
#include <QImage>
#include <QString>

namespace importtest {

// Path of a clip made by tests/support/make_test_videos.sh in this build tree.
QString testVideo(const QString& name);

// The frame that the ffmpeg command-line tool takes at `seconds` (upright, as it shows it):
// an outside judge of what our own decoding gives.
QImage ffmpegFrame(const QString& path, double seconds);

// Mean absolute difference of the colour channels, 0..255; 255 when the sizes differ.
double meanDifference(const QImage& a, const QImage& b);

// Colour of one pixel as (r, g, b) rounded to "mostly red", "mostly blue", ... for layout checks.
QString dominantColour(const QImage& image, int x, int y);

}  // namespace importtest
