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
"""
import argparse
import os
import time

from harness import e2e


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


def unix_pid_of(folder):
    """The live Unix process running this folder's Keldrin.exe in the harness's prefix."""
    pids = e2e.wine_pids("Keldrin.exe", os.path.basename(folder.path))
    return pids[0] if pids else None


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        # The command name may hold blanks; the fields after its ')' are fixed.
        fields = f.read().rsplit(")", 1)[1].split()
    utime, stime = int(fields[11]), int(fields[12])
    return (utime + stime) / os.sysconf("SC_CLK_TCK")


def idle_cpu(wait):
    """CPU seconds per wall second of Keldrin.exe while its countdown waits."""
    folder = e2e.ProgramFolder("bench-countdown-cpu")
    launch = e2e.start(folder, "--wait %d" % wait, relay=False, timeout=wait + 60)
    try:
        with e2e.Probe() as probe:
            if probe.wait_window(launch.pid, timeout=20) is None:
                raise RuntimeError("no countdown window")
        pid = None
        deadline = time.monotonic() + 10
        while pid is None and time.monotonic() < deadline:
            pid = unix_pid_of(folder)
            time.sleep(0.05)
        if pid is None:
            raise RuntimeError("the Unix process of Keldrin.exe was not found")
        time.sleep(1)  # past the opening's own work
        first_wall, first_cpu = time.monotonic(), cpu_seconds(pid)
        time.sleep(max(wait - 4, 1))
        last_wall, last_cpu = time.monotonic(), cpu_seconds(pid)
    finally:
        result = launch.wait(timeout=wait + 60)
    if result.power_calls:
        raise RuntimeError("a countdown without an operation made power calls")
    return (last_cpu - first_cpu) / (last_wall - first_wall), last_cpu - first_cpu, last_wall - first_wall


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--waits", type=int, nargs="+", default=[5, 120], help="countdowns to time, in seconds")
    parser.add_argument("--cpu-wait", type=int, default=30, help="countdown to measure CPU over, in seconds")
    options = parser.parse_args()

    for wait in options.waits:
        error, timers = firing_error(wait)
        print("wait %4d s: fired %+.3f s from %d.1 s after the countdown began (%d SetTimer calls)"
              % (wait, error, wait, timers))
    share, used, wall = idle_cpu(options.cpu_wait)
    print("CPU while counting %d s: %.3f s in %.1f s of wall time = %.3f%% of one core"
          % (options.cpu_wait, used, wall, share * 100))


if __name__ == "__main__":
    main()
