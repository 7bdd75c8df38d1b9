#!/usr/bin/env bash
# Makes the small test videos that the tests import and play, from FFmpeg's own test patterns.
# Usage: make_test_videos.sh OUTDIR
# Files already present are kept, so a second run is quick. Nothing is fetched from outside.
#
#   clip_1280x720.mp4     H.264 + AAC, 2 s, 10 fps, 16:9, with sound
#   clip_1366x768.mov     H.264, 1 s, 683:384, no sound
#   clip_1080x1920.mkv    H.264, 1 s, 9:16, no sound
#   clip_640x360.webm     VP8 + Vorbis, 1 s, with sound
#   clip_320x180.mp4      H.264, 2 s, no sound (a small general-purpose clip)
#   clip_12_7s.mp4        H.264, 12.7 s, 160x90, no sound
#   rotated_90.mp4        H.264, 1 s, coded 320x180 red left half / blue right half, with a
#                         display matrix that turns it upright to 180x320
#   anamorphic.mp4        H.264, 1 s, coded 1440x1080 with 4:3 pixels: shown 1920x1080
#   one_frame.mp4         H.264, a single frame of 320x180 at 25 fps (1/25 s)
#   audio_only.mp4        AAC only, 1 s: no video track
#   truncated.mp4         the first 40% of an H.264 MP4 whose index is at the end: unreadable
#   big.mp4               H.264 lossless, 6 s, 640x360, 25 fps, about 3 MB (large enough to pause
#                         a transfer mid-way)
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi
out=$1
mkdir -p "$out"

ff() { ffmpeg -hide_banner -nostdin -loglevel error -y "$@"; }
x264=(-c:v libx264 -preset ultrafast -crf 40 -pix_fmt yuv420p)

# produce NAME COMMAND...: runs COMMAND with the output path as its last argument, writing to a
# temporary name first so an interrupted run never leaves a half-made file under the real name.
produce() {
    local name=$1; shift
    [[ -s "$out/$name" ]] && return 0
    local tmp="$out/.tmp.$$.$name"
    "$@" "$tmp"
    mv -f "$tmp" "$out/$name"
}

mk_1280() { ff -f lavfi -i "testsrc2=s=1280x720:r=10:d=2" -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=2" \
    "${x264[@]}" -c:a aac -b:a 32k -shortest -f mp4 "$1"; }
mk_1366() { ff -f lavfi -i "testsrc2=s=1366x768:r=10:d=1" "${x264[@]}" -f mov "$1"; }
mk_1080() { ff -f lavfi -i "testsrc2=s=1080x1920:r=10:d=1" "${x264[@]}" -f matroska "$1"; }
mk_webm() { ff -f lavfi -i "testsrc2=s=640x360:r=10:d=1" -f lavfi -i "sine=frequency=660:sample_rate=48000:duration=1" \
    -c:v libvpx -b:v 200k -c:a libvorbis -shortest -f webm "$1"; }
mk_320() { ff -f lavfi -i "testsrc2=s=320x180:r=10:d=2" "${x264[@]}" -f mp4 "$1"; }
mk_127() { ff -f lavfi -i "testsrc2=s=160x90:r=10:d=12.7" "${x264[@]}" -f mp4 "$1"; }
mk_rot() {
    local plain="$1.plain.mp4"
    ff -f lavfi -i "color=c=red:s=160x180:r=10:d=1[l];color=c=blue:s=160x180:r=10:d=1[r];[l][r]hstack" \
        "${x264[@]}" -f mp4 "$plain"
    # This FFmpeg writes the display matrix only when the stream is copied.
    ff -i "$plain" -c copy -metadata:s:v:0 rotate=90 -f mp4 "$1"
    rm -f "$plain"
}
mk_anamorphic() { ff -f lavfi -i "testsrc2=s=1440x1080:r=10:d=1" -vf setsar=4/3 "${x264[@]}" -f mp4 "$1"; }
mk_one() { ff -f lavfi -i "testsrc2=s=320x180:r=25:d=1" -frames:v 1 "${x264[@]}" -f mp4 "$1"; }
mk_big() { ff -f lavfi -i "testsrc2=s=640x360:r=25:d=6" -c:v libx264 -preset ultrafast -qp 0 -pix_fmt yuv420p \
    -f mp4 "$1"; }
mk_audio() { ff -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=1" -c:a aac -b:a 32k -f mp4 "$1"; }
mk_trunc() {
    local whole="$1.whole.mp4"
    ff -f lavfi -i "testsrc2=s=320x180:r=10:d=2" "${x264[@]}" -f mp4 "$whole"
    local size
    size=$(stat -c %s "$whole")
    head -c $((size * 4 / 10)) "$whole" > "$1"
    rm -f "$whole"
}

produce clip_1280x720.mp4 mk_1280
produce clip_1366x768.mov mk_1366
produce clip_1080x1920.mkv mk_1080
produce clip_640x360.webm mk_webm
produce clip_320x180.mp4 mk_320
produce clip_12_7s.mp4 mk_127
produce rotated_90.mp4 mk_rot
produce anamorphic.mp4 mk_anamorphic
produce one_frame.mp4 mk_one
produce audio_only.mp4 mk_audio
produce truncated.mp4 mk_trunc
produce big.mp4 mk_big
