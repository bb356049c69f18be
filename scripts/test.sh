#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest under
# Wine. Exits non-zero when anything fails.
set -euo pipefail
source "$(dirname "$0")/common.sh"

prepare_all
trap stop_wine EXIT
cd "$BUILD"
ctest --output-on-failure "$@"
