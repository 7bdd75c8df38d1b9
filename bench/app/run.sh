#!/usr/bin/env bash
# Whole desktop player benchmarks: time from launch to the first frame (against FFmpeg decoding
# the first frame of the same clip), resident memory after 60 s of playing (against the same
# player with the wallpaper closed) and CPU time over 60 s with the wallpaper closed (against the
# same 60 s playing). Every figure comes from this one run.
# Usage: run.sh BUILD_DIR [SECONDS]
set -euo pipefail
BUILD=${1:?usage: run.sh BUILD_DIR [SECONDS]}
SECONDS_TO_RUN=${2:-60}
BENCH=$BUILD/bench/app/app_bench
HELPER=$BUILD/bin/TavvelHelper
for tool in ffmpeg python3 dbus-run-session; do
    command -v "$tool" >/dev/null || { echo "app: skipped ($tool missing)"; exit 0; }
done
[[ -x $BENCH && -x $HELPER ]] || { echo "app: skipped (build app_bench and TavvelHelper first)"; exit 0; }

CLIP=$BUILD/bench/app/clip_720p30_10s.mp4
if [[ ! -s $CLIP ]]; then
    ffmpeg -hide_banner -nostdin -loglevel error -y -f lavfi -i "testsrc2=s=1280x720:r=30:d=10" \
        -c:v libx264 -preset veryfast -pix_fmt yuv420p "$CLIP.tmp.mp4"
    mv "$CLIP.tmp.mp4" "$CLIP"
fi

exec python3 - "$BENCH" "$HELPER" "$CLIP" "$SECONDS_TO_RUN" <<'PY'
import os, shutil, signal, statistics, subprocess, sys, tempfile, time
bench, helper, clip, seconds = sys.argv[1], sys.argv[2], sys.argv[3], float(sys.argv[4])
xvfb = shutil.which("xvfb-run")
tick = os.sysconf("SC_CLK_TCK")

def home(closed):
    root = tempfile.mkdtemp(prefix="tavvel-app-bench-")
    env = dict(os.environ)
    for name in ("XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"):
        path = os.path.join(root, name.lower())
        os.makedirs(path)
        env[name] = path
    env["TAVVEL_SERVICE_URL"] = "http://127.0.0.1:9"   # nothing listens: the update check fails at once
    env["QT_QPA_PLATFORM"] = "xcb" if xvfb else "offscreen"
    args = [bench, "prepare", clip] + (["closed"] if closed else [])
    subprocess.run(args, env=dict(env, QT_QPA_PLATFORM="offscreen"), check=True, stdout=subprocess.DEVNULL)
    return root, env

def wrapped(cmd):
    inner = ["dbus-run-session", "--"] + cmd
    return ([xvfb, "-a", "-s", "-screen 0 1280x720x24"] + inner) if xvfb else inner

# Launch to first frame: the player's start-up from exec to its first decoded frame.
ffmpeg_ms, player_ms = [], []
for _ in range(3):
    t0 = time.monotonic()
    subprocess.run(["ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-i", clip, "-frames:v", "1",
                    "-f", "null", "-"], check=True)
    ffmpeg_ms.append((time.monotonic() - t0) * 1000)
    root, env = home(False)
    env["TAVVEL_LAUNCH_NS"] = str(time.clock_gettime_ns(time.CLOCK_REALTIME))
    out = subprocess.run(wrapped([bench, "first-frame"]), env=env, capture_output=True, text=True)
    lines = [l for l in out.stdout.splitlines() if l.replace(".", "", 1).isdigit()]
    if out.returncode == 0 and lines:
        player_ms.append(float(lines[-1]))
    shutil.rmtree(root, ignore_errors=True)
if player_ms:
    p, f = statistics.median(player_ms), statistics.median(ffmpeg_ms)
    print(f"app_launch_to_first_frame: {p:.0f} ms ({p / f:.2f}x ffmpeg first frame {f:.0f} ms)")
else:
    print("app_launch_to_first_frame: failed")

# Two whole players side by side for the same time: one playing, one with the wallpaper closed.
def start(closed):
    root, env = home(closed)
    pidfile = os.path.join(root, "pid")
    cmd = wrapped(["sh", "-c", 'echo $$ > "$0"; exec "$1"', pidfile, helper])
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(100):
        if os.path.exists(pidfile) and open(pidfile).read().strip():
            break
        time.sleep(0.05)
    return proc, int(open(pidfile).read()), root

def cpu(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / tick

def rss_mib(pid):
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) / 1024
    return 0.0

playing, closed = start(False), start(True)
time.sleep(5)  # start-up is over
c0 = {k: cpu(p[1]) for k, p in (("playing", playing), ("closed", closed))}
time.sleep(seconds)
c1 = {k: cpu(p[1]) for k, p in (("playing", playing), ("closed", closed))}
rss_play, rss_closed = rss_mib(playing[1]), rss_mib(closed[1])
for proc, pid, root in (playing, closed):
    os.kill(pid, signal.SIGTERM)
    proc.wait(timeout=30)
    shutil.rmtree(root, ignore_errors=True)
cpu_play = c1["playing"] - c0["playing"]
cpu_closed = c1["closed"] - c0["closed"]
print(f"app_rss_after_{seconds:.0f}s_playing: {rss_play:.1f} MiB ({rss_play / rss_closed:.2f}x wallpaper closed {rss_closed:.1f} MiB)")
print(f"app_cpu_{seconds:.0f}s_closed: {cpu_closed:.2f} s ({cpu_closed / max(cpu_play, 0.01):.3f}x playing {cpu_play:.2f} s)")
PY
