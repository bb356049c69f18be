"""The end-to-end harness (tests/e2e/keldrin_e2e.py) for the benchmarks, so
the program runs under Wine only, in the build's prefix. The flavour is the
one scripts/common.sh chooses (KELDRIN_ARCH=x86|x64 overrides); KELDRIN_BUILD,
KELDRIN_DIST and KELDRIN_PROBE default to that flavour's tree, program folder
and winprobe.exe. They must be set before the harness is imported.
"""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
if "KELDRIN_ARCH" not in os.environ:
    os.environ["KELDRIN_ARCH"] = subprocess.run(
        ["bash", "-c", 'source "$1/scripts/common.sh" && choose_flavour >&2 && echo "$KELDRIN_ARCH"', "-", ROOT],
        stdout=subprocess.PIPE, check=True, universal_newlines=True).stdout.strip()
ARCH = os.environ["KELDRIN_ARCH"]
TOP = os.path.join(ROOT, "build")
BUILD = os.environ.setdefault("KELDRIN_BUILD", TOP if ARCH == "x86" else os.path.join(TOP, "x64"))
os.environ.setdefault("KELDRIN_DIST", os.path.join(TOP, "dist" if ARCH == "x86" else "dist-x64"))
os.environ.setdefault("KELDRIN_PROBE", os.path.join(BUILD, "tests", "e2e", "winprobe.exe"))
os.environ.setdefault("KELDRIN_WINE", os.path.join(ROOT, "scripts", "keldrin-wine"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

import keldrin_e2e as e2e  # noqa: E402,F401  (needs the environment above)
