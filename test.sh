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
# Wine's desktop process lives while any window's process does; one kept open for the whole run
# keeps it from being started by a test, whose output it would then hold open.
"$WINE64" build/win64/wine_warm_up.exe >/dev/null 2>&1 </dev/null &
sleep 2
ctest --preset win64 "$@"
