#!/usr/bin/env bash
# Main program benchmarks, each against a baseline of the same run: launch to the main window's
# first paint, and Tavvel's resident memory and threads idle with its window, against a bare Qt
# program showing an empty window (one run each; with a second build folder, that build's
# Tavvel too, as "before"); then memory and processes with the preview window open and after it
# closed (against Tavvel idle before the preview).
# Usage: run.sh BUILD_DIR [BEFORE_BUILD_DIR]
#   BEFORE_BUILD_DIR: another version's build (for example main's) with the same three programs.
set -euo pipefail
BUILD=${1:?usage: run.sh BUILD_DIR [BEFORE_BUILD_DIR]}
BEFORE=${2:-}
BENCH=$BUILD/bench/mainwindow/mainwindow_bench
BARE=$BUILD/bench/mainwindow/bare_window
TAVVEL=$BUILD/bin/Tavvel
for tool in python3 dbus-run-session ffmpeg; do
    command -v "$tool" >/dev/null || { echo "mainwindow: skipped ($tool missing)"; exit 0; }
done
for build in "$BUILD" ${BEFORE:+"$BEFORE"}; do
    [[ -x $build/bench/mainwindow/mainwindow_bench && -x $build/bin/Tavvel ]] ||
        { echo "mainwindow: skipped (build mainwindow_bench and Tavvel in $build first)"; exit 0; }
done
[[ -x $BARE ]] || { echo "mainwindow: skipped (build bare_window first)"; exit 0; }

# A page with a playing video, as a preview shows.
PAGE_DIR=$BUILD/bench/mainwindow/page
if [[ ! -s $PAGE_DIR/index.html ]]; then
    mkdir -p "$PAGE_DIR"
    ffmpeg -hide_banner -nostdin -loglevel error -y -f lavfi -i "testsrc2=s=640x360:r=30:d=10" \
        -c:v libvpx -b:v 1M "$PAGE_DIR/clip.webm"
    printf '<!doctype html><body style="margin:0;background:#000"><video src="clip.webm" autoplay loop muted width="800" height="450"></video></body>\n' >"$PAGE_DIR/index.html"
fi

# The benchmark program lies away from the program folder: the preview plugin's folder, as the
# build tree holds it.
TAVVEL_PLUGIN_DIR=$(sed -n 's/^TAVVEL_PLUGIN_DIR:INTERNAL=//p' "$BUILD/CMakeCache.txt")
export TAVVEL_PLUGIN_DIR
exec python3 - "$BENCH" "$BARE" "$TAVVEL" "$PAGE_DIR/index.html" "$BEFORE" <<'PY'
import os, shutil, signal, subprocess, sys, tempfile, time
bench, bare, tavvel, page, before_build = sys.argv[1:6]
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

def threads(pid):
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("Threads:"):
            return int(line.split()[1])
    return 0

def mapped(pid, names):
    maps = open(f"/proc/{pid}/maps").read()
    return [name for name in names if name in maps]

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

# Idle: 5 s after the first paint (the bare window) or 6 s after the launch (Tavvel, which prints
# nothing); the program's own process, not the player it starts.
HEAVY = ["libLLVM", "libQt6WebEngineCore"]
def idle(cmd, paints):
    run = Run(cmd)
    try:
        if paints:
            run.wait_line("idle")
            time.sleep(5)
        else:
            time.sleep(6)
        return rss_mib([run.pid]), threads(run.pid), mapped(run.pid, HEAVY)
    finally:
        run.stop()

# One run of each program for each figure.
programs = [("after", bench, tavvel)]
if before_build:
    programs.insert(0, ("before", os.path.join(before_build, "bench/mainwindow/mainwindow_bench"),
                        os.path.join(before_build, "bin/Tavvel")))
bare_ms = first_paint_ms([bare])
bare_rss, bare_threads, _ = idle([bare], True)
figures = {}
for name, bench_program, tavvel_program in programs:
    ms = first_paint_ms([bench_program, "tavvel"])
    figures[name] = (ms,) + idle([tavvel_program], False)

def compared(name, index, unit, baseline, fmt):
    value = figures[name][index]
    text = f"{name} {value:{fmt}}{unit} ({value / baseline:.2f}x bare Qt window {baseline:{fmt}}{unit}"
    if name == "after" and "before" in figures:
        text += f", {value / figures['before'][index]:.2f}x before"
    return text + ")"

for title, index, unit, baseline, fmt in (("launch_to_window", 0, " ms", bare_ms, ".0f"),
                                          ("rss_idle", 1, " MiB", bare_rss, ".1f"),
                                          ("threads_idle", 2, "", bare_threads, "d")):
    print(f"mainwindow_{title}: " + "; ".join(compared(name, index, unit, baseline, fmt) for name in figures))
print("mainwindow_loaded_idle: " + "; ".join(f"{name} {', '.join(f[3]) or 'neither'} of {' and '.join(HEAVY)}"
                                             for name, f in figures.items()))

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
