"""The end-to-end harness (tests/e2e/keldrin_e2e.py) for the benchmarks, so
the program runs under Wine only, in the build's prefix. KELDRIN_BUILD,
KELDRIN_DIST and KELDRIN_PROBE default to build/, build/dist and the build's
winprobe.exe; they must be set before the harness is imported.
"""
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.setdefault("KELDRIN_BUILD", os.path.join(ROOT, "build"))
os.environ.setdefault("KELDRIN_DIST", os.path.join(BUILD, "dist"))
os.environ.setdefault("KELDRIN_PROBE", os.path.join(BUILD, "tests", "e2e", "winprobe.exe"))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

import keldrin_e2e as e2e  # noqa: E402,F401  (needs the environment above)
