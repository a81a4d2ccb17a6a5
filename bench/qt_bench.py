#!/usr/bin/env python3
"""Measures the real desktop program under Xvfb and prints the figures.

  CPU time over a quiet spell with nothing happening (only the clock runs),
  CPU time over a spell with the line out (the float bobbing on its timer),
  the peak resident memory (VmHWM), and the time from starting the program
  to the scene being shown (the program prints a monotonic timestamp when
  its start-up window is first painted, when MARIVO2_REPORT_SHOWN is set).

Usage: bench/qt_bench.py <marivo2 executable> [--seconds 60] [--starts 5]
Needs Xvfb and xdotool. Not a test: it prints figures, it does not judge.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

GOALS = {"idle": 0.05, "line": 0.5, "rss": 40.0, "scene": 300.0}
BUTTON = (74, 760)  # the control bar's button on a 1024 x 768 screen


def start_xvfb():
    """Xvfb on a display number it picks itself; returns (process, ":N")."""
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


def start(exe, env):
    t0 = time.monotonic_ns()
    p = subprocess.Popen([exe], cwd=os.path.dirname(exe), env=env, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, text=True)
    for line in p.stdout:
        if line.startswith("marivo2: scene shown "):
            return p, (int(line.split()[-1]) - t0) / 1e6
    sys.exit("the program ended before showing the scene")


def stop(p):
    p.terminate()  # the session end: the game saves and ends
    try:
        p.wait(timeout=5)
    except subprocess.TimeoutExpired:
        p.kill()
        p.wait()


def cpu_percent(pid, seconds):
    tick = os.sysconf("SC_CLK_TCK")
    c0, t0 = cpu_ticks(pid), time.monotonic()
    time.sleep(seconds)
    c1, t1 = cpu_ticks(pid), time.monotonic()
    return 100.0 * (c1 - c0) / tick / (t1 - t0), (c1 - c0) * 1000.0 / tick


def xdo(env, *args):
    subprocess.run(["xdotool", *args], env=env, check=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("exe")
    ap.add_argument("--seconds", type=float, default=60.0)
    ap.add_argument("--starts", type=int, default=5)
    a = ap.parse_args()
    for tool in ("Xvfb", "xdotool"):
        if shutil.which(tool) is None:
            sys.exit(f"{tool} is not installed")

    work = tempfile.mkdtemp()
    exe = os.path.join(work, "marivo2")
    shutil.copy(a.exe, exe)
    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display, MARIVO2_REPORT_SHOWN="1")
    env.pop("QT_QPA_PLATFORM", None)
    time.sleep(1.0)
    try:
        scenes = []
        for _ in range(a.starts):
            p, ms = start(exe, env)
            scenes.append(ms)
            stop(p)

        p, _ = start(exe, env)
        time.sleep(2.0)  # let start-up settle
        idle, idle_ms = cpu_percent(p.pid, a.seconds)

        xdo(env, "mousemove", str(BUTTON[0]), str(BUTTON[1]))
        xdo(env, "mousedown", "1")
        time.sleep(0.1)
        xdo(env, "mouseup", "1")
        time.sleep(0.6)
        xdo(env, "mousedown", "1")
        time.sleep(0.05)
        xdo(env, "mouseup", "1")
        time.sleep(3.0)  # the swing and the flight
        line, line_ms = cpu_percent(p.pid, a.seconds)
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
    row("CPU idle (% of a core)", idle, "%", GOALS["idle"], f"({idle_ms:.0f} ms CPU)")
    row("CPU line out (% of a core)", line, "%", GOALS["line"], f"({line_ms:.0f} ms CPU)")
    row("peak resident memory (VmHWM)", rss, "MB", GOALS["rss"])
    row("start to scene shown (median)", statistics.median(scenes), "ms", GOALS["scene"],
        "(runs: " + ", ".join(f"{s:.0f}" for s in scenes) + " ms)")


if __name__ == "__main__":
    main()
