#!/usr/bin/env bash
# Desktop player benchmarks: CPU time and memory of the wallpaper playing 20 s of two 1080p30
# H.264 clips (testsrc2, cheap to decode; and a noisy Mandelbrot zoom, dear to decode; testsrc2
# again stored with a quarter turn of rotation metadata, as a phone films upright), on one
# screen and on two screens side by side (mirrored and spanned) under Xvfb, two headless screens
# as well; CPU while paused and after the wallpaper is closed; the time to the first frame.
# Every figure is against FFmpeg decoding the same clip alone at its rate, run at the same time
# (so both see the same load of the machine). The player's CPU
# is counted over its whole process, as FFmpeg's is; under Xvfb the X server's CPU is printed
# beside it. The OpenGL renderer's figures where a GPU drives it, "skipped" otherwise.
# Then the same on headless sway (sway.py), the compositor's CPU beside the player's.
# Usage: run.sh BUILD_DIR [SECONDS]   (SIZES_ONLY=1: only the runs on screens of other sizes;
# LARGE=1: an 8192x8192 clip's memory too; BEFORE=OTHER_BUILD_DIR: that build measured beside
# this one in the same run, its figures named "..._before"; SWAY=0: no sway runs)
set -euo pipefail
BUILD=${1:?usage: run.sh BUILD_DIR [SECONDS]}
SECONDS_TO_PLAY=${2:-20}
HERE=$(cd "$(dirname "$0")" && pwd)
BENCH=$BUILD/bench/player/player_bench
for tool in ffmpeg xvfb-run python3; do
    command -v "$tool" >/dev/null || { echo "player: skipped ($tool missing)"; exit 0; }
done
[[ -x $BENCH ]] || { echo "player: skipped (build player_bench first)"; exit 0; }

make_clip() {  # NAME SOURCE
    local clip=$BUILD/bench/player/$1_1080p30_${SECONDS_TO_PLAY}s.mp4
    if [[ ! -s $clip ]]; then
        ffmpeg -hide_banner -nostdin -loglevel error -y -f lavfi -i "$2" -t "$SECONDS_TO_PLAY" \
            -c:v libx264 -preset veryfast -pix_fmt yuv420p "$clip.tmp.mp4"
        mv "$clip.tmp.mp4" "$clip"
    fi
    echo "$clip"
}
TESTSRC=$(make_clip clip "testsrc2=s=1920x1080:r=30:d=$SECONDS_TO_PLAY")
NOISY=$(make_clip noisy "mandelbrot=s=1920x1080:r=30,noise=alls=24:allf=t+u")
SMALL=$BUILD/bench/player/clip_720p30_${SECONDS_TO_PLAY}s.mp4
[[ -s $SMALL ]] || ffmpeg -hide_banner -nostdin -loglevel error -y -f lavfi \
    -i "testsrc2=s=1280x720:r=30:d=$SECONDS_TO_PLAY" -c:v libx264 -preset veryfast -pix_fmt yuv420p "$SMALL"
ROTATED=${TESTSRC%.mp4}_rotated90.mp4
[[ -s $ROTATED ]] || ffmpeg -hide_banner -nostdin -loglevel error -y -i "$TESTSRC" -c copy -metadata:s:v:0 rotate=90 "$ROTATED"

python3 - "$BENCH" "$SECONDS_TO_PLAY" "$HERE/two_screens.json" "$TESTSRC" "$NOISY" "$ROTATED" "$SMALL" "${SIZES_ONLY:-}" \
    "${BEFORE:+$BEFORE/bench/player/player_bench}" <<'PY'
import os, subprocess, sys, time
bench, seconds, screens = sys.argv[1], sys.argv[2], sys.argv[3]
benches = [("", bench)] + ([("_before", sys.argv[9])] if sys.argv[9] else [])
clips = {"testsrc2": sys.argv[4], "noisy": sys.argv[5], "testsrc2_rotated90": sys.argv[6]}
small, sizes_only = sys.argv[7], sys.argv[8] == "1"

def cpu_of(proc):
    # The CPU of that one child, from its own rusage.
    _, _, usage = os.wait4(proc.pid, 0)
    return usage.ru_utime + usage.ru_stime

def decode(clip, frames=None):
    cmd = ["ffmpeg", "-nostdin", "-loglevel", "error"] + ([] if frames else ["-re"]) + ["-i", clip]
    cmd += (["-frames:v", str(frames)] if frames else []) + ["-f", "null", "-"]
    return subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

def player(clip, platform, arrange, extra=(), renderer="software", screen="1920x1080", play=seconds, bench=bench):
    """Runs the player and, at the same time, FFmpeg decoding the same clip alone at its rate:
    both see the same load of the machine, so the ratio holds on a busy machine too."""
    env = dict(os.environ, QT_QPA_PLATFORM=platform, TAVVEL_RENDERER=renderer)
    cmd = [bench, clip, str(play), str(arrange)] + list(extra)
    if platform == "xcb":
        cmd = ["xvfb-run", "-a", "-s", f"-screen 0 {screen}x24"] + cmd
    baseline = decode(clip) if play == seconds else None
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    stdout, _ = proc.communicate()
    decode_cpu = cpu_of(baseline) if baseline else 0.0
    keys = {"first_frame_ms", "cpu_s", "cpu_total_s", "x_cpu_s", "rss_kb", "frames", "renderer"}
    values = dict(p for p in (line.split() for line in stdout.splitlines()) if len(p) == 2 and p[0] in keys)
    if proc.returncode != 0 or "cpu_s" not in values:
        raise SystemExit(f"player run failed ({platform}, {arrange}, {extra}): {proc.returncode}")
    result = {k: (v if k == "renderer" else float(v)) for k, v in values.items()}
    result["decode"] = decode_cpu
    return result

def report(name, r, rss_base=None):
    decode = r["decode"]
    print(f"{name}_decode_only_cpu: {decode:.2f} s (1.00)")
    # The whole process against FFmpeg's whole process; the X server's share beside it.
    print(f"{name}_cpu_total: {r['cpu_total_s']:.2f} s ({r['cpu_total_s'] / decode:.2f})")
    if "x_cpu_s" in r:
        print(f"{name}_x_server_cpu: {r['x_cpu_s']:.2f} s ({r['x_cpu_s'] / decode:.2f})")
        print(f"{name}_with_x_server_cpu: {r['cpu_total_s'] + r['x_cpu_s']:.2f} s "
              f"({(r['cpu_total_s'] + r['x_cpu_s']) / decode:.2f})")
    print(f"{name}_rss: {r['rss_kb'] / 1024:.1f} MiB ({r['rss_kb'] / (rss_base or r['rss_kb']):.2f})")
    print(f"{name}_frames: {r['frames']:.0f} frames ({r['frames'] / (30 * float(seconds)):.2f})")

# One screen of another size than the clip's (most users' case): the picture is scaled.
sized = [("testsrc2", clips["testsrc2"], size) for size in
         ("1920x1080", "1366x768", "1280x720", "2560x1440", "3840x2160")]
sized += [("testsrc2_720p", small, "1920x1080"), ("testsrc2_rotated90", clips["testsrc2_rotated90"], "1920x1080")]
for label, clip, size in sized:
    for tag, program in benches:
        report(f"{label}_on_{size}{tag}", player(clip, "xcb", 1, screen=size, bench=program))
# A very large clip (LARGE=1: its making takes minutes): the player's peak memory against FFmpeg
# decoding it on one thread.
if os.environ.get("LARGE") == "1":
    large = os.path.join(os.path.dirname(small), "large_8192x8192.mp4")
    if not os.path.exists(large):
        subprocess.run(["ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                        "testsrc2=s=8192x8192:r=10:d=3", "-c:v", "libx264", "-preset", "ultrafast",
                        "-pix_fmt", "yuv420p", large + ".tmp.mp4"], check=True)
        os.rename(large + ".tmp.mp4", large)
    one = subprocess.Popen(["ffmpeg", "-nostdin", "-loglevel", "error", "-threads", "1", "-re", "-i", large,
                            "-f", "null", "-"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, _, usage = os.wait4(one.pid, 0)
    r = player(large, "xcb", 1, play="2")
    print(f"large_8192_ffmpeg_one_thread_rss: {usage.ru_maxrss / 1024:.1f} MiB (1.00)")
    print(f"large_8192_player_rss: {r['rss_kb'] / 1024:.1f} MiB ({r['rss_kb'] / usage.ru_maxrss:.2f})")
if sizes_only:
    sys.exit(0)

# Two screens side by side: two halves of one wide Xvfb screen, and two headless screens.
runs = [("one_screen_xvfb", "xcb", 1, (), "1920x1080"),
        ("two_screens_mirror_xvfb", "xcb", 1, ("split",), "3840x1080"),
        ("two_screens_integration_xvfb", "xcb", 0, ("split",), "3840x1080"),
        ("two_screens_mirror_offscreen", f"offscreen:configfile={screens}", 1, (), None),
        ("two_screens_integration_offscreen", f"offscreen:configfile={screens}", 0, (), None)]
first = None
gpu = None
for label, clip in clips.items():
    for name, platform, arrange, extra, screen in runs:
        if label != "testsrc2" and platform != "xcb":
            continue
        for tag, program in benches:
            r = player(clip, platform, arrange, extra, screen=screen, bench=program)
            first = first or r
            report(f"{label}_{name}{tag}", r, first["rss_kb"])
    if label == "testsrc2":
        start = time.monotonic()
        decode(clip, frames=1).wait()
        first_decode_s = time.monotonic() - start
        p = player(clip, "xcb", 1, ("paused",))
        print(f"paused_cpu: {p['cpu_s']:.2f} s ({p['cpu_s'] / p['decode']:.2f})")
        if "x_cpu_s" in p:
            print(f"paused_x_server_cpu: {p['x_cpu_s']:.2f} s ({p['x_cpu_s'] / p['decode']:.2f})")
        c = player(clip, "xcb", 1, ("closed",))
        print(f"closed_cpu: {c['cpu_s']:.2f} s ({c['cpu_s'] / c['decode']:.2f})")
        print(f"first_frame: {first['first_frame_ms']:.0f} ms ({first['first_frame_ms'] / 1000 / first_decode_s:.2f})")
    # The OpenGL renderer, where the automatic choice takes it (a GPU); skipped on a software
    # rasteriser.
    if gpu is None:
        gpu = player(clip, "xcb", 1, renderer="auto", play=1)["renderer"] == "opengl"
    for name, platform, arrange, extra, screen in runs[:3]:
        if not gpu:
            print(f"{label}_{name}_opengl: skipped")
            continue
        report(f"{label}_{name}_opengl", player(clip, platform, arrange, extra, "opengl", screen), first["rss_kb"])
PY
[[ ${SWAY:-1} == 0 ]] && exit 0
# On sway: the real player (and BEFORE's) on its own session bus.
dbus-run-session -- python3 "$HERE/sway.py" "$BUILD/bin/TavvelHelper" "$BUILD/tests/desktop/desktop_probe" \
    "$SECONDS_TO_PLAY" "$TESTSRC" "$SMALL" "$ROTATED"
