#!/usr/bin/env python3
"""Measures the real desktop program under Xvfb and prints the figures.

  CPU time over a quiet spell with nothing happening (only the clock runs),
  CPU time over a spell with the line out (the float bobbing on its timer),
  the peak resident memory (VmHWM), and the time from starting the program
  to the scene being shown (the program prints a monotonic timestamp when
  its start-up window is first painted, when MARIVO2_REPORT_SHOWN is set).

  With the same switch the program also prints where its start went: the
  phases one after the other (loading up to main, Qt's set-up, the scene's
  layout, the first paint) and the parts found anywhere in them (fonts,
  pictures, the record's place, the one-copy lock), each as wall-clock and
  CPU time; the medians over the starts are printed as a breakdown.

Usage: bench/qt_bench.py <marivo2 executable> [--seconds 60] [--starts 5] [--starts-only]
                         [--display N] [--seed N]

The CPU with the line out follows what the fish do in that minute, which the
game leaves to chance; --seed plays the same fish every time (through
MARIVO2_TEST_SEED), so that two builds can be compared.
Needs Xvfb and xdotool. Not a test: it prints figures, it does not judge.
"""
import argparse
import os
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

GOALS = {"idle": 0.05, "line": 0.5, "rss": 40.0, "scene": 300.0}
BUTTON = (74, 760)  # the control bar's button on a 1024 x 768 screen


def start_xvfb(number=None):
    """Xvfb on display `number`, or on one it picks itself; returns
    (process, ":N")."""
    if number is not None:
        xvfb = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1024x768x24",
                                 "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(50):
            if os.path.exists(f"/tmp/.X11-unix/X{number}"):
                return xvfb, f":{number}"
            time.sleep(0.1)
        sys.exit("Xvfb did not start")
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=(write,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        number = f.readline().strip()
    if not number:
        sys.exit("Xvfb did not start")
    return xvfb, ":" + number


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def vm_hwm_mb(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024.0
    return float("nan")


# The rows of the start-up breakdown, in the order they happen.
PHASES = ["load", "qt-setup", "layout", "paint"]
PARTS = ["fonts", "pictures", "record", "lock"]


def start(exe, env, breakdown=None):
    """Starts the program; returns it and the milliseconds to the scene.
    `breakdown`, a dict, collects (wall ms, CPU ms) lists by phase and part."""
    t0 = time.monotonic_ns()
    p = subprocess.Popen([exe], cwd=os.path.dirname(exe), env=env, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, text=True)
    for line in p.stdout:
        words = line.split()
        if line.startswith("marivo2: main entered ") and breakdown is not None:
            breakdown.setdefault("load", []).append(((int(words[3]) - t0) / 1e6,
                                                     int(words[4]) / 1e6))
        elif words[1:2] in (["phase"], ["part"]) and breakdown is not None:
            breakdown.setdefault(words[2], []).append((int(words[3]) / 1e6, int(words[4]) / 1e6))
        elif line.startswith("marivo2: process cpu ") and breakdown is not None:
            breakdown.setdefault("process", []).append((float("nan"), int(words[3]) / 1e6))
        elif line.startswith("marivo2: scene shown "):
            scene = (int(words[-1]) - t0) / 1e6
            if breakdown is not None:
                text = read_text_shown(p, t0)
                if text is not None:
                    breakdown.setdefault("text", []).append((text, float("nan")))
            return p, scene
    sys.exit("the program ended before showing the scene")


def read_text_shown(p, t0, timeout=2.0):
    """Milliseconds from the start to the first text drawn (the clock's
    digits may follow the scene), or None when the program does not say."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        ready, _, _ = select.select([p.stdout], [], [], max(0.0, deadline - time.monotonic()))
        if not ready:
            return None
        line = p.stdout.readline()
        if not line:
            return None
        if line.startswith("marivo2: text shown "):
            return (int(line.split()[-1]) - t0) / 1e6
    return None


def print_breakdown(breakdown):
    if breakdown.get("text"):
        runs = breakdown["text"]
        print(f"start to the first text (the clock) shown (median): "
              f"{statistics.median(r[0] for r in runs):.1f} ms")
    if breakdown.get("process"):
        print(f"CPU of the whole process up to the scene (median): "
              f"{statistics.median(r[1] for r in breakdown['process']):.1f} ms")
    print("start-up by phase and part (median wall ms / median CPU ms of the thread "
          "that shows the scene):")
    for name in PHASES + PARTS:
        runs = breakdown.get(name, [])
        if not runs:
            continue
        wall = statistics.median(r[0] for r in runs)
        cpu = statistics.median(r[1] for r in runs)
        kind = "phase" if name in PHASES else "part"
        print(f"  {kind:<6}{name:<10}{wall:>8.1f} {cpu:>8.1f}")


def stop(p):
    p.terminate()  # the session end: the game saves and ends
    try:
        p.wait(timeout=5)
    except subprocess.TimeoutExpired:
        p.kill()
        p.wait()


def wakeups(pid):
    """Voluntary context switches of every thread of the process: each is a
    sleep that ended, i.e. a wake-up."""
    total = 0
    for tid in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{tid}/status") as f:
            for line in f:
                if line.startswith("voluntary_ctxt_switches:"):
                    total += int(line.split()[1])
    return total


def cpu_percent(pid, seconds):
    """Share of a core, CPU milliseconds and wake-ups a second over `seconds`."""
    tick = os.sysconf("SC_CLK_TCK")
    c0, w0, t0 = cpu_ticks(pid), wakeups(pid), time.monotonic()
    time.sleep(seconds)
    c1, w1, t1 = cpu_ticks(pid), wakeups(pid), time.monotonic()
    return (100.0 * (c1 - c0) / tick / (t1 - t0), (c1 - c0) * 1000.0 / tick,
            (w1 - w0) / (t1 - t0))


def xdo(env, *args):
    subprocess.run(["xdotool", *args], env=env, check=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("exe")
    ap.add_argument("--seconds", type=float, default=60.0)
    ap.add_argument("--starts", type=int, default=5)
    ap.add_argument("--starts-only", action="store_true",
                    help="measure only the starts and their breakdown")
    ap.add_argument("--display", type=int,
                    help="the X display number for Xvfb (default: a free one)")
    ap.add_argument("--seed", type=int,
                    help="the game's random seed for the spells (default: the clock's)")
    a = ap.parse_args()
    for tool in ("Xvfb", "xdotool"):
        if shutil.which(tool) is None:
            sys.exit(f"{tool} is not installed")

    work = tempfile.mkdtemp()
    exe = os.path.join(work, "marivo2")
    shutil.copy(a.exe, exe)
    xvfb, display = start_xvfb(a.display)
    env = dict(os.environ, DISPLAY=display, MARIVO2_REPORT_SHOWN="1")
    env.pop("QT_QPA_PLATFORM", None)
    time.sleep(1.0)
    try:
        scenes = []
        breakdown = {}
        for _ in range(a.starts):
            p, ms = start(exe, env, breakdown)
            scenes.append(ms)
            stop(p)
        if a.starts_only:
            print(f"start to scene shown (median of {a.starts}): "
                  f"{statistics.median(scenes):.1f} ms (runs: " +
                  ", ".join(f"{s:.0f}" for s in scenes) + " ms)")
            print_breakdown(breakdown)
            return

        spell_env = dict(env)
        if a.seed is not None:
            spell_env["MARIVO2_TEST_SEED"] = str(a.seed)
        p, _ = start(exe, spell_env)
        time.sleep(2.0)  # let start-up settle
        idle, idle_ms, idle_wakeups = cpu_percent(p.pid, a.seconds)

        xdo(env, "mousemove", str(BUTTON[0]), str(BUTTON[1]))
        xdo(env, "mousedown", "1")
        time.sleep(0.1)
        xdo(env, "mouseup", "1")
        time.sleep(0.6)
        xdo(env, "mousedown", "1")
        time.sleep(0.05)
        xdo(env, "mouseup", "1")
        time.sleep(3.0)  # the swing and the flight
        line, line_ms, _ = cpu_percent(p.pid, a.seconds)
        rss = vm_hwm_mb(p.pid)
        stop(p)
    finally:
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(work, ignore_errors=True)

    def row(name, value, unit, goal, detail=""):
        verdict = "meets" if value < goal else "MISSES"
        print(f"{name:<34}{value:>10.3f} {unit:<8} goal < {goal:<6} {verdict}  {detail}")

    print(f"marivo2 under Xvfb 1024x768, {a.seconds:.0f} s spells, {a.starts} starts")
    row("CPU idle (% of a core)", idle, "%", GOALS["idle"],
        f"({idle_ms:.0f} ms CPU, {idle_wakeups:.2f} wake-ups a second)")
    row("CPU line out (% of a core)", line, "%", GOALS["line"], f"({line_ms:.0f} ms CPU)")
    row("peak resident memory (VmHWM)", rss, "MB", GOALS["rss"])
    row("start to scene shown (median)", statistics.median(scenes), "ms", GOALS["scene"],
        "(runs: " + ", ".join(f"{s:.0f}" for s in scenes) + " ms)")
    print_breakdown(breakdown)


if __name__ == "__main__":
    main()
