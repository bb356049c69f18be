#!/usr/bin/env python3
"""How exactly the countdown fires, and what it costs while it waits.

Run after a build (scripts/test.sh or scripts/run.sh):
    python3 bench/countdown_bench.py [--waits 5 120] [--cpu-wait 30]
It uses the end-to-end harness (tests/e2e/keldrin_e2e.py), so the program runs
under Wine only, in the build's prefix; KELDRIN_BUILD, KELDRIN_DIST and
KELDRIN_PROBE default to build/, build/dist and the build's winprobe.exe.

Firing error. `Keldrin.exe --monitoroff --wait N` runs with Wine's relay trace
and +timestamp, which stamps every traced call with the tick count in
milliseconds. The countdown's own start is its first SetTimer of timer 5001
(the dialog's opening, not the process start: the first dialog of a process
takes ~200 ms to come up). The monitor-off broadcast should follow N s + 100 ms
later (the first tick at 100 ms shows N, the tick at N s + 100 ms shows 0 and
fires). The error printed is (broadcast - first SetTimer) - (N + 0.1) s; both
times come from the same trace and the same clock. The relay trace costs a
little per traced call, a few calls per tick, so it is an upper bound.

CPU while waiting. `Keldrin.exe --wait N` (no operation: the count runs out
and nothing happens) runs without relay tracing. Once its window is up, the
Unix process that Wine runs Keldrin.exe in is found in /proc (its command line
names the program, its environment this prefix), and utime + stime of
/proc/<pid>/stat (clock ticks, SC_CLK_TCK per second; all threads of the
process) are read then and again shortly before the count ends. The
difference over the wall time between the two readings is the CPU the program
used while idle in its countdown, Wine's own threads in that process included.
The wineserver's share is not counted; it only answers the program's calls.
The same is read for watches that never hold over the same time, each
condition alone and the three together (a reading a second, the processes
listed every 2 s), which should cost at most 10 ms more than the countdown. The same is read for the start-up benchmark's bare program showing its
dialog (bench/baseline/) over the same time: what any dialog process costs
under Wine while it does nothing.
"""
import argparse
import os
import shutil
import time

from harness import BUILD, e2e


def firing_error(wait):
    """Seconds the operation fired after (or, negative, before) N s + 100 ms."""
    folder = e2e.ProgramFolder("bench-countdown-%d" % wait)
    result = e2e.run(folder, "--monitoroff --wait %d" % wait, timeout=wait + 60)
    if result.timed_out:
        raise RuntimeError("the countdown of %d s did not end" % wait)
    timers = e2e.countdown_timers(result.calls)
    fired = result.power_calls
    if not timers or not fired:
        raise RuntimeError("no timer 5001 or no power call in the trace of the %d s countdown" % wait)
    return (fired[0].time - timers[0].time) - (wait + 0.1), len(timers)


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        # The command name may hold blanks; the fields after its ')' are fixed.
        fields = f.read().rsplit(")", 1)[1].split()
    utime, stime = int(fields[11]), int(fields[12])
    return (utime + stime) / os.sysconf("SC_CLK_TCK")


def measure_idle(folder, launch, program, seconds):
    """(CPU seconds, wall seconds) of the program's Unix process over `seconds`
    once its window is up."""
    with e2e.Probe() as probe:
        window = probe.wait_window(launch.pid, timeout=20)
        if window is None:
            raise RuntimeError("no window from " + program)
        pid = None
        deadline = time.monotonic() + 10
        while pid is None and time.monotonic() < deadline:
            pids = e2e.wine_pids(program, os.path.basename(folder.path))
            pid = pids[0] if pids else None
            time.sleep(0.05)
        if pid is None:
            raise RuntimeError("the Unix process of %s was not found" % program)
        time.sleep(1)  # past the opening's own work
        first_wall, first_cpu = time.monotonic(), cpu_seconds(pid)
        time.sleep(seconds)
        last_wall, last_cpu = time.monotonic(), cpu_seconds(pid)
        return last_cpu - first_cpu, last_wall - first_wall, window, probe


def idle_cpu(wait):
    """CPU seconds used by Keldrin.exe while its countdown waits, and wall seconds."""
    folder = e2e.ProgramFolder("bench-countdown-cpu")
    launch = e2e.start(folder, "--wait %d" % wait, relay=False, timeout=wait + 60)
    try:
        used, wall, _, _ = measure_idle(folder, launch, "Keldrin.exe", max(wait - 4, 1))
    finally:
        result = launch.wait(timeout=wait + 60)
    if result.power_calls:
        raise RuntimeError("a countdown without an operation made power calls")
    return used, wall


WATCHES = ("--idle-min 60", "--quiet-min 60", "--after-exit services.exe",
           "--idle-min 60 --quiet-min 60 --after-exit services.exe")


def idle_cpu_of_a_watch(seconds, tail):
    """CPU seconds used by Keldrin.exe while it watches conditions that do not
    come (services.exe runs as long as the prefix does)."""
    folder = e2e.ProgramFolder("bench-watch-cpu")
    launch = e2e.start(folder, tail, relay=False, timeout=seconds + 60)
    try:
        with e2e.Probe() as closer:
            used, wall, window, _ = measure_idle(folder, launch, "Keldrin.exe", seconds)
            closer.close(window)
    finally:
        result = launch.wait(timeout=30)
    if result.power_calls:
        raise RuntimeError("a watch without an operation made power calls")
    return used, wall


def idle_cpu_of_a_bare_dialog(seconds):
    """The same for the start-up benchmark's bare program showing its dialog:
    what any dialog process costs under Wine while it does nothing."""
    folder = e2e.ProgramFolder("bench-countdown-cpu-baseline", modules=())
    for name in ("Baseline.exe", "BaselineResource.dll"):
        shutil.copy2(os.path.join(BUILD, "bench", name), folder.path)
    launch = e2e.start(folder, None, relay=False, exe=folder.windows_path + "\\Baseline.exe", timeout=seconds + 60)
    try:
        with e2e.Probe() as closer:
            used, wall, window, _ = measure_idle(folder, launch, "Baseline.exe", seconds)
            closer.close(window)
    finally:
        launch.wait(timeout=30)
    return used, wall


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--waits", type=int, nargs="+", default=[5, 120], help="countdowns to time, in seconds")
    parser.add_argument("--cpu-wait", type=int, default=30, help="countdown to measure CPU over, in seconds")
    options = parser.parse_args()

    for wait in options.waits:
        error, timers = firing_error(wait)
        print("wait %4d s: fired %+.3f s from %d.1 s after the countdown began (%d SetTimer calls)"
              % (wait, error, wait, timers))
    used, wall = idle_cpu(options.cpu_wait)
    print("CPU while counting %d s: %.3f s in %.1f s of wall time = %.3f%% of one core"
          % (options.cpu_wait, used, wall, used / wall * 100))
    counting = used
    for tail in WATCHES:
        used, wall = idle_cpu_of_a_watch(max(options.cpu_wait - 4, 1), tail)
        print("CPU while watching %d s (%s): %.3f s in %.1f s = %.3f%% of one core, %+.0f ms against the countdown"
              % (options.cpu_wait, tail, used, wall, used / wall * 100, (used - counting) * 1000))
    used, wall = idle_cpu_of_a_bare_dialog(max(options.cpu_wait - 4, 1))
    print("a bare dialog doing nothing (bench/baseline): %.3f s in %.1f s of wall time = %.3f%% of one core"
          % (used, wall, used / wall * 100))


if __name__ == "__main__":
    main()
