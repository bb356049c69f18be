#!/usr/bin/env python3
"""How quickly Keldrin starts, against a bare program that does the least a
program like it must: load a resource-only DLL as data and show one dialog.

Run after a build (scripts/test.sh or scripts/run.sh):  python3 bench/startup_bench.py [RUNS]

Both programs are started the same way (through `winprobe launch`, with a warm
wineserver) in alternation, so the Wine start-up they share cancels out of the
ratios. Measured from the Linux side with a monotonic clock:
  - visible: from the launch to the moment the probe sees the dialog window
    visible (the probe polls every 20 ms, the same for both programs);
  - exit: from the launch to the launcher's return, for `Keldrin.exe
    --monitoroff` and for the baseline showing its dialog and closing it at once.
Medians are printed, and each ratio Keldrin / baseline.

The baseline shows its dialog twice over: its own two-control template, and
(`Baseline.exe --main`) Keldrin's main dialog template from the very module
Keldrin shows it from, with no logic behind it. The second ratio weighs what
Keldrin does besides showing its controls; the first what the controls cost too.
"""
import os
import shutil
import statistics
import sys
import time

from harness import BUILD, e2e


def time_to_visible(folder, exe, probe, tail=None):
    started = time.monotonic()
    launch = e2e.start(folder, tail, relay=False, exe=exe, timeout=30)
    window = probe.wait_window(launch.pid, timeout=20)
    seconds = time.monotonic() - started
    if window is None:
        launch.kill()
        raise RuntimeError("no window from %s" % exe)
    probe.close(window)
    launch.wait()
    return seconds


def time_to_exit(folder, exe, tail):
    started = time.monotonic()
    result = e2e.run(folder, tail, relay=False, exe=exe, timeout=30)
    if result.timed_out:
        raise RuntimeError("%s %s did not end" % (exe, tail))
    return time.monotonic() - started


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 15
    keldrin = e2e.ProgramFolder("bench-startup-keldrin")
    baseline = e2e.ProgramFolder("bench-startup-baseline", modules=())
    for name in ("Baseline.exe", "BaselineResource.dll"):
        shutil.copy2(os.path.join(BUILD, "bench", name), baseline.path)
    baseline_exe = baseline.windows_path + "\\Baseline.exe"
    same = e2e.ProgramFolder("bench-startup-baseline-main", modules=("Keldrin.Eng.dll",))
    shutil.copy2(os.path.join(BUILD, "bench", "Baseline.exe"), same.path)
    same_exe = same.windows_path + "\\Baseline.exe"

    samples = {key: [] for key in ("k_visible", "b_visible", "m_visible", "k_exit", "b_exit")}
    with e2e.Probe() as probe:
        # One of each first, unmeasured: the first start of a program warms caches.
        time_to_visible(keldrin, keldrin.windows_exe, probe)
        time_to_visible(baseline, baseline_exe, probe)
        time_to_visible(same, same_exe, probe, "--main")
        for _ in range(runs):
            samples["k_visible"].append(time_to_visible(keldrin, keldrin.windows_exe, probe))
            samples["b_visible"].append(time_to_visible(baseline, baseline_exe, probe))
            samples["m_visible"].append(time_to_visible(same, same_exe, probe, "--main"))
            samples["k_exit"].append(time_to_exit(keldrin, keldrin.windows_exe, "--monitoroff"))
            samples["b_exit"].append(time_to_exit(baseline, baseline_exe, "--exit"))

    median = {key: statistics.median(values) for key, values in samples.items()}
    print("runs: %d each" % runs)
    print("start to visible dialog: Keldrin %.3f s, baseline %.3f s, ratio %.2f"
          % (median["k_visible"], median["b_visible"], median["k_visible"] / median["b_visible"]))
    print("  the same main template:  Keldrin %.3f s, baseline --main %.3f s, ratio %.2f"
          % (median["k_visible"], median["m_visible"], median["k_visible"] / median["m_visible"]))
    print("start to exit:           Keldrin --monitoroff %.3f s, baseline %.3f s, ratio %.2f"
          % (median["k_exit"], median["b_exit"], median["k_exit"] / median["b_exit"]))


if __name__ == "__main__":
    main()
