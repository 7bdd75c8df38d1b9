#!/usr/bin/env bash
# Local library figures: the first-run import of the four samples by the built program (start to
# "alreadyImportVideo") against cp plus one ffmpeg thumbnail per sample, and with a service that
# holds its requests open against one that refuses them; a dropped batch of 20
# clips through the library screen against 20 through the import service alone.
set -euo pipefail
BUILD=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fresh() {  # fresh XDG folders under $WORK/$1
    for d in data config cache runtime; do mkdir -p "$WORK/$1/$d"; done
    chmod 700 "$WORK/$1/runtime"
    export XDG_DATA_HOME=$WORK/$1/data XDG_CONFIG_HOME=$WORK/$1/config XDG_CACHE_HOME=$WORK/$1/cache XDG_RUNTIME_DIR=$WORK/$1/runtime
}
now() { date +%s%N; }
SAMPLES=$BUILD/share/tavvel/samples

# Baseline: copy each sample and take one frame of it.
mkdir -p "$WORK/copy"
t0=$(now)
for f in "$SAMPLES"/*.mp4; do
    cp "$f" "$WORK/copy/"
    ffmpeg -hide_banner -nostdin -loglevel error -y -ss 5 -i "$f" -frames:v 1 "$WORK/copy/$(basename "$f").png"
done
base=$(( ($(now) - t0) / 1000000 ))

# Start to "alreadyImportVideo" of the built program on fresh folders, service at $TAVVEL_SERVICE_URL.
first_start() {
    fresh "$1"
    cat > "$WORK/$1.sh" <<INNER
"$BUILD/bin/Tavvel" >/dev/null 2>&1 &
t0=\$(date +%s%N)
until grep -qs "alreadyImportVideo=true" "$XDG_DATA_HOME"/*/Preferences/*.ini; do sleep 0.05; done
echo \$(( (\$(date +%s%N) - t0) / 1000000 ))
# The player this bus started, by the process owning its name: a match on the program's path
# would also end the players of other sessions.
for i in \$(seq 100); do
    helper=\$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \\
        org.freedesktop.DBus.GetConnectionUnixProcessID string:com.zembo.TavvelHelper 2>/dev/null | awk '/uint32/ {print \$2}')
    [ -n "\$helper" ] && break
    sleep 0.1
done
kill %1; [ -n "\$helper" ] && kill "\$helper" || true
INNER
    timeout 120 dbus-run-session -- bash "$WORK/$1.sh" 2>/dev/null | tail -1
}
export TAVVEL_SERVICE_URL=http://127.0.0.1:9
first=$(first_start first)
# A service that holds the video-detail request of every sample open, a byte at a time.
"$BUILD/tests/support/service_standin" --trickle 504 > "$WORK/standin.out" 2>/dev/null &
standin=$!
until [ -s "$WORK/standin.out" ]; do sleep 0.05; done
TAVVEL_SERVICE_URL=$(head -1 "$WORK/standin.out")
held=$(first_start held)
kill "$standin"
TAVVEL_SERVICE_URL=http://127.0.0.1:9
echo "cp + ffmpeg thumbnail of 4 samples: $base ms (1.00)"
awk -v a="$first" -v b="$base" 'BEGIN { printf "first-run import of 4 samples (start to alreadyImportVideo): %d ms (%.2f)\n", a, a / b }'
awk -v a="$held" -v b="$first" 'BEGIN { printf "the same with the service holding each request open: %d ms (%.2f of the refused service)\n", a, a / b }'

# Two folders of 21 distinct clips each (the first of each is a warm-up) (the hue differs, so does every sign).
shift=0
for set in a b; do
    mkdir -p "$WORK/$set"
    for i in $(seq 1 21); do
        ffmpeg -hide_banner -nostdin -loglevel error -y -f lavfi -i "testsrc2=s=320x180:r=10:d=1" \
            -vf "hue=h=$((i * 17 + shift))" -c:v libx264 -preset ultrafast -pix_fmt yuv420p "$WORK/$set/clip$(printf %02d $i).mp4"
    done
    shift=8
done
fresh drop
dbus-run-session -- "$BUILD/bench/locallibrary/locallibrary_bench" "$WORK/a" "$WORK/b" 2>/dev/null | grep ": "
