#!/usr/bin/env bash
# Main program benchmarks, each against a baseline of the same run: launch to the main window's
# first paint (against a bare Qt program showing an empty window), resident memory of Tavvel idle
# with its window (against that bare program), and memory and processes with the preview window
# open and after it closed (against Tavvel idle before the preview).
# Usage: run.sh BUILD_DIR
set -euo pipefail
BUILD=${1:?usage: run.sh BUILD_DIR}
BENCH=$BUILD/bench/mainwindow/mainwindow_bench
BARE=$BUILD/bench/mainwindow/bare_window
TAVVEL=$BUILD/bin/Tavvel
for tool in python3 dbus-run-session ffmpeg; do
    command -v "$tool" >/dev/null || { echo "mainwindow: skipped ($tool missing)"; exit 0; }
done
[[ -x $BENCH && -x $BARE && -x $TAVVEL ]] || { echo "mainwindow: skipped (build mainwindow_bench, bare_window and Tavvel first)"; exit 0; }

# A page with a playing video, as a preview shows.
PAGE_DIR=$BUILD/bench/mainwindow/page
if [[ ! -s $PAGE_DIR/index.html ]]; then
    mkdir -p "$PAGE_DIR"
    ffmpeg -hide_banner -nostdin -loglevel error -y -f lavfi -i "testsrc2=s=640x360:r=30:d=10" \
        -c:v libvpx -b:v 1M "$PAGE_DIR/clip.webm"
    printf '<!doctype html><body style="margin:0;background:#000"><video src="clip.webm" autoplay loop muted width="800" height="450"></video></body>\n' >"$PAGE_DIR/index.html"
fi

exec python3 - "$BENCH" "$BARE" "$TAVVEL" "$PAGE_DIR/index.html" <<'PY'
import os, shutil, signal, statistics, subprocess, sys, tempfile, time
bench, bare, tavvel, page = sys.argv[1:5]
xvfb = shutil.which("xvfb-run")

def environment():
    root = tempfile.mkdtemp(prefix="tavvel-mainwindow-bench-")
    env = dict(os.environ)
    for name in ("XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"):
        path = os.path.join(root, name.lower())
        os.makedirs(path)
        env[name] = path
    env["TAVVEL_SERVICE_URL"] = "http://127.0.0.1:9"  # nothing listens: requests fail at once
    env["QT_QPA_PLATFORM"] = "xcb" if xvfb else "offscreen"
    if xvfb:
        env["QT_QUICK_BACKEND"] = "software"  # Xvfb's GL draws the web page black
    if os.geteuid() == 0:
        env["QTWEBENGINE_CHROMIUM_FLAGS"] = "--no-sandbox"  # Chromium refuses its sandbox as root
    return root, env

def wrapped(cmd):
    inner = ["dbus-run-session", "--"] + cmd
    return ([xvfb, "-a", "-s", "-screen 0 1280x800x24"] + inner) if xvfb else inner

def children(pid):
    kids = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                ppid = int(open(f"/proc/{entry}/stat").read().rsplit(")", 1)[1].split()[1])
            except OSError:
                continue
            kids.setdefault(ppid, []).append(int(entry))
    tree, todo = [], [pid]
    while todo:
        p = todo.pop()
        tree.append(p)
        todo += kids.get(p, [])
    return tree

def rss_mib(pids):
    total = 0
    for pid in pids:
        try:
            for line in open(f"/proc/{pid}/status"):
                if line.startswith("VmRSS:"):
                    total += int(line.split()[1])
        except OSError:
            pass
    return total / 1024

class Run:
    """One program in its own session bus (and display); reads its lines and knows its pid."""
    def __init__(self, cmd):
        self.root, env = environment()
        pidfile = os.path.join(self.root, "pid")
        # The clock starts inside the display and bus, right before the program: their start is no
        # part of the figure.
        self.proc = subprocess.Popen(wrapped(["sh", "-c", 'echo $$ > "$0"; export TAVVEL_LAUNCH_NS=$(date +%s%N); exec "$@"',
                                              pidfile] + cmd), env=env,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        for _ in range(200):
            if os.path.exists(pidfile) and open(pidfile).read().strip():
                break
            time.sleep(0.05)
        self.pid = int(open(pidfile).read())
    def wait_line(self, word):
        lines = []
        for line in self.proc.stdout:
            lines.append(line.strip())
            if line.strip() == word:
                return lines
        raise RuntimeError(f"no '{word}' from the program")
    def stop(self):
        try:
            os.kill(self.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            self.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            os.kill(self.pid, signal.SIGKILL)
        shutil.rmtree(self.root, ignore_errors=True)

def first_paint_ms(cmd):
    run = Run(cmd)
    try:
        lines = run.wait_line("idle")
        return float(lines[-2])
    finally:
        run.stop()

# Launch to the window on screen, three times each, alternating.
bare_ms, tavvel_ms = [], []
for _ in range(3):
    bare_ms.append(first_paint_ms([bare]))
    tavvel_ms.append(first_paint_ms([bench, "tavvel"]))
b, t = statistics.median(bare_ms), statistics.median(tavvel_ms)
print(f"mainwindow_launch_to_window: {t:.0f} ms ({t / b:.2f}x bare Qt window {b:.0f} ms)")

# Resident memory idle with the window, both after 5 s.
def idle_rss(cmd):
    run = Run(cmd)
    try:
        if cmd[0] == bare:
            run.wait_line("idle")
        time.sleep(5)
        return rss_mib(children(run.pid))
    finally:
        run.stop()
bare_rss, tavvel_rss = idle_rss([bare]), idle_rss([tavvel])
print(f"mainwindow_rss_idle: {tavvel_rss:.1f} MiB ({tavvel_rss / bare_rss:.2f}x bare Qt window {bare_rss:.1f} MiB)")

# The preview: memory and processes of Tavvel's whole process tree before, open and after closing.
run = Run([bench, "preview", page])
try:
    run.wait_line("idle")
    before_pids = children(run.pid)
    before = rss_mib(before_pids)
    run.wait_line("open")
    open_pids = children(run.pid)
    opened = rss_mib(open_pids)
    run.wait_line("closed")
    closed_pids = children(run.pid)
    closed = rss_mib(closed_pids)
    run.wait_line("closed again")
    again_pids = children(run.pid)
    again = rss_mib(again_pids)
finally:
    run.stop()
print(f"mainwindow_preview_open_rss: {opened:.1f} MiB ({opened / before:.2f}x idle before the preview {before:.1f} MiB)")
print(f"mainwindow_preview_closed_rss: {closed:.1f} MiB ({closed / before:.2f}x idle before the preview {before:.1f} MiB)")
print(f"mainwindow_preview_closed_twice_rss: {again:.1f} MiB ({again / closed:.2f}x closed once {closed:.1f} MiB)")
print(f"mainwindow_preview_processes: open {len(open_pids)}, closed {len(closed_pids)}, closed twice {len(again_pids)} ({len(again_pids) / len(before_pids):.2f}x idle before {len(before_pids)})")
PY
