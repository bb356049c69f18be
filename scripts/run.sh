#!/usr/bin/env bash
# Installs what is missing, builds, and starts Keldrin.exe under Wine with the
# given arguments, on a virtual display when there is none. The flavour is the
# 32-bit program where this machine runs 32-bit programs, else the 64-bit one;
# KELDRIN_ARCH=x86|x64 chooses.
#   scripts/run.sh                 the main dialog
#   scripts/run.sh --monitoroff --wait 10
set -euo pipefail
source "$(dirname "$0")/common.sh"

prepare_all
echo "run.sh: starting the $KELDRIN_ARCH flavour ($FLAVOUR_DIST/Keldrin.exe): $KELDRIN_ARCH_WHY"
cd "$FLAVOUR_DIST"
wine_ Keldrin.exe "$@"
