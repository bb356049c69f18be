#!/usr/bin/env bash
# Installs what is missing, builds, and starts Keldrin.exe under Wine with the
# given arguments, on a virtual display when there is none.
#   scripts/run.sh                 the main dialog
#   scripts/run.sh --monitoroff --wait 10
set -euo pipefail
source "$(dirname "$0")/common.sh"

prepare_all
trap stop_wine EXIT
cd "$BUILD/dist"
wine Keldrin.exe "$@"
