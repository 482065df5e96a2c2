#!/usr/bin/env bash
# Builds both Windows targets and runs the whole test suite under Wine and Xvfb.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64
cmake --preset win32 >/dev/null
cmake --build --preset win32

. scripts/wine-env.sh
start_display --headless
trap stop_wine_and_display EXIT
start_wine
# The first window of a fresh Wine session is slow to come and go; let that happen outside the tests.
timeout 120 "$WINE64" build/win64/wine_warm_up.exe >/dev/null 2>&1 </dev/null || true
ctest --preset win64 "$@"
