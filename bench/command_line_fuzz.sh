#!/usr/bin/env bash
# Runs the command-line fuzz test with a million command lines (CI runs 50,000)
# and prints how long it took. Build first (scripts/test.sh or scripts/run.sh).
#   bench/command_line_fuzz.sh [COUNT] [SEED]
set -euo pipefail
source "$(dirname "$0")/../scripts/common.sh"
trap stop_wine EXIT
choose_flavour
ensure_display
ensure_prefix
count=${1:-1000000}
export KELDRIN_FUZZ_COUNT=$count
[ -n "${2:-}" ] && export KELDRIN_FUZZ_SEED=$2
start=$(date +%s.%N)
wine_ "$FLAVOUR_BUILD/tests/app_tests.exe" --gtest_filter='CommandLineFuzz.*' --gtest_brief=1
end=$(date +%s.%N)
python3 -c "print('%d command lines in %.1f s' % ($count, $end - $start))"
