#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest under
# Wine, on the flavour this machine can run (KELDRIN_ARCH=x86|x64 chooses).
# The checks that only read files always look at the 32-bit release set.
# Exits non-zero when anything fails.
set -euo pipefail
source "$(dirname "$0")/common.sh"

prepare_all
prepare_second_lane
echo "test.sh: testing the $KELDRIN_ARCH flavour: $KELDRIN_ARCH_WHY"
cd "$ROOT"
ctest --preset "$KELDRIN_ARCH" "$@"
