# The desktop player on headless sway (wlroots' software renderer, pixman: it scales on the
# processor, where a real desktop does it on the GPU): the player's CPU and the compositor's
# beside it on outputs of several sizes and scales, one and two outputs (mirrored, spanned),
# each against FFmpeg decoding the same clip at its rate in the same interval, and against the
# same clip on one output of its own size. BEFORE=BUILD_DIR runs another build of the player beside
# it in the same run, configuration by configuration.
# Usage: python3 sway.py HELPER PROBE SECONDS CLIP_1080P CLIP_720P CLIP_ROTATED
import os, shutil, subprocess, sys, tempfile, time

helper, probe, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
clip, small, rotated = sys.argv[4], sys.argv[5], sys.argv[6]
before = os.environ.get("BEFORE") and os.path.join(os.environ["BEFORE"], "bin", "TavvelHelper")
if not shutil.which("sway"):
    print("sway: skipped (sway missing)")
    sys.exit(0)


def cpu(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def wait_for(test, seconds_left):
    deadline = time.monotonic() + seconds_left
    while not test():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.1)
    return True


def run(program, clip_path, outputs, arrange):
    """One sway with `outputs` ("1920x1080@1.5" each, side by side), the player on it; returns the
    player's, sway's and FFmpeg's CPU seconds over the same interval."""
    work = tempfile.mkdtemp(prefix="tavvel-sway-bench.")
    os.chmod(work, 0o755)
    runtime = os.path.join(work, "sway-runtime")
    os.makedirs(runtime, mode=0o700)
    lines, x = [], 0
    for i, output in enumerate(outputs):
        mode, scale = output.split("@")
        lines.append(f"output HEADLESS-{i + 1} resolution {mode} scale {scale} position {x} 0 bg #336699 solid_color")
        x += int(int(mode.split("x")[0]) / float(scale))
    conf = os.path.join(work, "sway.conf")
    with open(conf, "w") as f:
        f.write("xwayland disable\n" + "\n".join(lines) + "\n")
    os.chmod(conf, 0o644)
    as_user = []
    if os.geteuid() == 0:
        shutil.chown(runtime, "nobody", "nogroup")
        as_user = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]
    env = {"PATH": os.environ["PATH"], "XDG_RUNTIME_DIR": runtime, "HOME": work, "WLR_BACKENDS": "headless",
           "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman", "WLR_HEADLESS_OUTPUTS": str(len(outputs))}
    sway = subprocess.Popen(as_user + ["env", "-i"] + [f"{k}={v}" for k, v in env.items()] + ["sway", "-c", conf],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    player = None
    try:
        if not wait_for(lambda: any(n.startswith("wayland-") and not n.endswith(".lock") for n in os.listdir(runtime)), 30):
            raise SystemExit("sway did not start")
        display = next(os.path.join(runtime, n) for n in os.listdir(runtime)
                       if n.startswith("wayland-") and not n.endswith(".lock"))
        penv = dict(os.environ, HOME=os.path.join(work, "home"), XDG_DATA_HOME=os.path.join(work, "data"),
                    XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_CACHE_HOME=os.path.join(work, "cache"),
                    XDG_RUNTIME_DIR=os.path.join(work, "runtime"), WAYLAND_DISPLAY=display,
                    TAVVEL_SERVICE_URL="http://127.0.0.1:9/")
        for k in ("DISPLAY", "QT_QPA_PLATFORM"):
            penv.pop(k, None)
        for d in ("home", "data", "config", "cache", "runtime"):
            os.makedirs(os.path.join(work, d), mode=0o700, exist_ok=True)
        subprocess.run([probe, "seed", clip_path], env=dict(penv, QT_QPA_PLATFORM="offscreen"), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        prefs = os.path.join(work, "data", "Q7ZK3M8WRT.tavvel", "Preferences")
        os.makedirs(prefs, exist_ok=True)
        with open(os.path.join(prefs, "Q7ZK3M8WRT.tavvel.ini"), "w") as f:
            f.write(f"[General]\nMonitorArrange={arrange}\n")
        log = open(os.path.join(work, "player.log"), "w")
        player = subprocess.Popen([program], env=penv, stdout=log, stderr=subprocess.STDOUT)
        # Past the start (the core, the first file, the surfaces' first pictures).
        time.sleep(4)
        p0, s0 = cpu(player.pid), cpu(sway.pid)
        decode = subprocess.Popen(["ffmpeg", "-nostdin", "-loglevel", "error", "-re", "-t", str(seconds), "-i",
                                   clip_path, "-f", "null", "-"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, _, usage = os.wait4(decode.pid, 0)
        p1, s1 = cpu(player.pid), cpu(sway.pid)
        if player.poll() is not None:
            raise SystemExit(f"the player ended early: {player.returncode}")
        return p1 - p0, s1 - s0, usage.ru_utime + usage.ru_stime
    finally:
        if player:
            player.terminate()
            player.wait()
        sway.terminate()
        sway.wait()
        shutil.rmtree(work, ignore_errors=True)


one = "1920x1080@1"
runs = [("testsrc2_on_1920x1080", clip, [one], 1)]
runs += [(f"testsrc2_on_{o.replace('@', '_scale_')}", clip, [o], 1) for o in
         ("1366x768@1", "1280x720@1", "2560x1440@1", "3840x2160@1", "1920x1080@1.5", "2560x1440@2", "3840x2160@2")]
runs += [("testsrc2_720p_on_1920x1080", small, [one], 1), ("testsrc2_rotated90_on_1920x1080", rotated, [one], 1),
         ("testsrc2_two_outputs_mirror", clip, [one, one], 1), ("testsrc2_two_outputs_spanned", clip, [one, one], 0)]
own = {}
for name, clip_path, outputs, arrange in runs:
    for tag, program in [("", helper)] + ([("_before", before)] if before else []):
        player_cpu, sway_cpu, decode_cpu = run(program, clip_path, outputs, arrange)
        label = f"sway_{name}{tag}"
        print(f"{label}_decode_only_cpu: {decode_cpu:.2f} s (1.00)")
        print(f"{label}_player_cpu: {player_cpu:.2f} s ({player_cpu / decode_cpu:.2f})")
        print(f"{label}_compositor_cpu: {sway_cpu:.2f} s ({sway_cpu / decode_cpu:.2f})")
        print(f"{label}_with_compositor_cpu: {player_cpu + sway_cpu:.2f} s "
              f"({(player_cpu + sway_cpu) / decode_cpu:.2f})")
        # Against the same clip on one output of its own size (per unit of decoding, as the load
        # of the machine moves between runs).
        if name == "testsrc2_on_1920x1080":
            own[tag] = player_cpu / decode_cpu
        elif clip_path == clip and tag in own:
            print(f"{label}_player_cpu_against_own_size: {player_cpu / decode_cpu:.2f} x "
                  f"({player_cpu / decode_cpu / own[tag]:.2f})")
        sys.stdout.flush()
