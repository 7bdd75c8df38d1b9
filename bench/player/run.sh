#!/usr/bin/env bash
# Desktop player benchmarks: CPU time and memory of the wallpaper playing 20 s of a 1080p30 H.264
# clip (one screen under Xvfb; two headless screens mirrored and integrated), CPU while paused,
# and the time to the first frame, each against FFmpeg decoding the same clip in the same run.
# The player's CPU is counted over its whole process, as FFmpeg's is; under Xvfb the X server's
# CPU is printed beside it.
# Usage: run.sh BUILD_DIR [SECONDS]
set -euo pipefail
BUILD=${1:?usage: run.sh BUILD_DIR [SECONDS]}
SECONDS_TO_PLAY=${2:-20}
HERE=$(cd "$(dirname "$0")" && pwd)
BENCH=$BUILD/bench/player/player_bench
for tool in ffmpeg xvfb-run python3; do
    command -v "$tool" >/dev/null || { echo "player: skipped ($tool missing)"; exit 0; }
done
[[ -x $BENCH ]] || { echo "player: skipped (build player_bench first)"; exit 0; }

CLIP=$BUILD/bench/player/clip_1080p30_${SECONDS_TO_PLAY}s.mp4
if [[ ! -s $CLIP ]]; then
    ffmpeg -hide_banner -nostdin -loglevel error -y -f lavfi -i "testsrc2=s=1920x1080:r=30:d=$SECONDS_TO_PLAY" \
        -c:v libx264 -preset veryfast -pix_fmt yuv420p "$CLIP.tmp.mp4"
    mv "$CLIP.tmp.mp4" "$CLIP"
fi

exec python3 - "$BENCH" "$CLIP" "$SECONDS_TO_PLAY" "$HERE/two_screens.json" <<'PY'
import os, resource, subprocess, sys, time
bench, clip, seconds, screens = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4]

def children_cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime

def timed(cmd, env=None):
    before, start = children_cpu(), time.monotonic()
    out = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return children_cpu() - before, time.monotonic() - start, out

def player(platform, arrange, paused=False):
    env = dict(os.environ, QT_QPA_PLATFORM=platform)
    cmd = [bench, clip, seconds, str(arrange)] + (["paused"] if paused else [])
    if platform == "xcb":
        cmd = ["xvfb-run", "-a", "-s", "-screen 0 1920x1080x24"] + cmd
    _, _, out = timed(cmd, env)
    keys = {"first_frame_ms", "cpu_s", "cpu_total_s", "x_cpu_s", "rss_kb", "frames"}
    values = dict(p for p in (line.split() for line in out.stdout.splitlines()) if len(p) == 2 and p[0] in keys)
    if out.returncode != 0 or "cpu_s" not in values:
        raise SystemExit(f"player run failed ({platform}, {arrange}): {out.returncode}")
    return {k: float(v) for k, v in values.items()}

decode_cpu, _, _ = timed(["ffmpeg", "-nostdin", "-loglevel", "error", "-re", "-i", clip, "-f", "null", "-"])
_, first_decode_s, _ = timed(["ffmpeg", "-nostdin", "-loglevel", "error", "-i", clip, "-frames:v", "1", "-f", "null", "-"])
print(f"decode_only_cpu: {decode_cpu:.2f} s (1.00)")

runs = [("one_screen_xvfb", "xcb", 1),
        ("two_screens_mirror", f"offscreen:configfile={screens}", 1),
        ("two_screens_integration", f"offscreen:configfile={screens}", 0)]
first = None
for name, platform, arrange in runs:
    r = player(platform, arrange)
    first = first or r
    # The whole process against FFmpeg's whole process; the older figure (from the first frame on,
    # which leaves start-up out) beside it.
    print(f"{name}_cpu_total: {r['cpu_total_s']:.2f} s ({r['cpu_total_s'] / decode_cpu:.2f})")
    print(f"{name}_cpu: {r['cpu_s']:.2f} s ({r['cpu_s'] / decode_cpu:.2f})")
    if "x_cpu_s" in r:
        print(f"{name}_x_server_cpu: {r['x_cpu_s']:.2f} s ({r['x_cpu_s'] / decode_cpu:.2f})")
    print(f"{name}_rss: {r['rss_kb'] / 1024:.1f} MiB (1.00)" if name == runs[0][0] else
          f"{name}_rss: {r['rss_kb'] / 1024:.1f} MiB ({r['rss_kb'] / first['rss_kb']:.2f})")
    print(f"{name}_frames: {r['frames']:.0f} frames ({r['frames'] / (30 * float(seconds)):.2f})")
p = player("xcb", 1, paused=True)
print(f"paused_cpu: {p['cpu_s']:.2f} s ({p['cpu_s'] / decode_cpu:.2f})")
if "x_cpu_s" in p:
    print(f"paused_x_server_cpu: {p['x_cpu_s']:.2f} s ({p['x_cpu_s'] / decode_cpu:.2f})")
print(f"first_frame: {first['first_frame_ms']:.0f} ms ({first['first_frame_ms'] / 1000 / first_decode_s:.2f})")
PY
