#!/usr/bin/env bash
# Makes the four sample wallpapers that a new installation imports on its first start, from
# FFmpeg's own sources: slow colour fields drawn by expressions whose every term repeats after
# ten seconds, so each clip loops without a seam. H.264 in MP4, 1280x720 at 24 frames a second.
# Usage: make_sample_videos.sh OUTDIR     (files already present are kept)
set -euo pipefail
if [[ $# -ne 1 ]]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi
out=$1
mkdir -p "$out"

D=10   # seconds of one loop
W='2*PI*T/10'
# Drawn small and scaled up: the fields are smooth, and the expressions stay cheap.
make() {
    local name=$1 r=$2 g=$3 b=$4
    [[ -s "$out/$name.mp4" ]] && return 0
    local tmp="$out/.tmp.$$.$name.mp4"
    ffmpeg -hide_banner -nostdin -loglevel error -y \
        -f lavfi -i "nullsrc=s=320x180:r=24:d=$D,geq=r='$r':g='$g':b='$b',scale=1280:720:flags=bicubic,format=yuv420p" \
        -c:v libx264 -preset fast -crf 18 -tune grain -movflags +faststart -an -f mp4 "$tmp"
    mv -f "$tmp" "$out/$name.mp4"
}

# The titles are the file names; the last one becomes the first wallpaper. The four are made
# side by side.
make "Aurora" \
    "clip(10+40*sin(X/37+sin(Y/23+$W)*2),0,255)" \
    "clip(60+90*(0.5+0.5*sin(X/29+2*sin(Y/41-$W)+$W)),0,255)" \
    "clip(70+60*(0.5+0.5*sin(Y/31+sin(X/53+2*$W))),0,255)" &
make "Deep Ocean" \
    "clip(5+20*(0.5+0.5*sin(X/45+$W)),0,255)" \
    "clip(50+50*(0.5+0.5*sin(X/33+sin(Y/19+$W)*1.5)),0,255)" \
    "clip(110+90*(0.5+0.5*sin(Y/27+sin(X/40-$W)*2)),0,255)" &
make "Lavender Mist" \
    "clip(150+60*(0.5+0.5*sin(X/50+sin(Y/30+$W)*2)),0,255)" \
    "clip(120+50*(0.5+0.5*sin((X+Y)/60-$W)),0,255)" \
    "clip(190+55*(0.5+0.5*sin(Y/35+sin(X/45+$W))),0,255)" &
make "Sunset Glow" \
    "clip(200+50*(0.5+0.5*sin(X/60+sin(Y/40+$W))),0,255)" \
    "clip(60+80*(Y/H)+30*sin(X/35+2*sin(Y/25-$W)),0,255)" \
    "clip(70+70*(1-Y/H)*(0.5+0.5*sin(X/45+$W)),0,255)" &
for job in $(jobs -p); do wait "$job"; done
