#!/usr/bin/env bash
# Builds both Windows targets and the 32-bit package, then runs the whole test suite twice: the 64-bit
# build under this machine's Wine 8, and the 32-bit release build under Wine 10 in WoW64 mode.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh
mkdir -p build

# The Wine 10 root is mostly download and unpacking, so it is made while the compilers run.
root_log=build/wow64-root.log
setsid scripts/wow64.sh ensure >"$root_log" 2>&1 </dev/null &
root_job=$!
stop_root_job() { kill -- "-$root_job" 2>/dev/null || true; }
trap stop_root_job EXIT

cmake --preset win64 >/dev/null
cmake --build --preset win64
cmake --preset win32 >/dev/null
cmake --build --preset win32
cmake --build --preset win32 --target package

if ! wait "$root_job"; then
    cat "$root_log" >&2
    exit 1
fi
trap - EXIT
cat "$root_log"

. scripts/wine-env.sh
start_display --headless
trap stop_wine_and_display EXIT
start_wine
# Wine's desktop process lives while any window's process does; one kept open for the whole run
# keeps it from being started by a test, whose output it would then hold open.
"$WINE64" build/win64/wine_warm_up.exe >/dev/null 2>&1 </dev/null &
sleep 2

status=0
echo "== 64-bit build under Wine 8 =="
ctest --preset win64 "$@" 2>&1 | tee build/win64-ctest.log || status=1
stop_wine_and_display
# The other Wine gets a display of its own, with nothing of the first one's left on it.
start_display --headless
echo "== 32-bit build under Wine 10 (WoW64) =="
scripts/wow64.sh session build/win32 ctest --preset win32 "$@" 2>&1 | tee build/win32-ctest.log || status=1

# A suite counts as passed only with its own closing summary, whatever cut it short.
summary() { awk '/tests passed, /{on=1} on' "$1" | grep -v '^$' || { tail -n 5 "$1"; echo "(no CTest summary)"; return 1; }; }
echo
echo "== Summary: 64-bit build under Wine 8 =="
summary build/win64-ctest.log || status=1
echo "== Summary: 32-bit build under Wine 10 (WoW64) =="
summary build/win32-ctest.log || status=1
exit $status
