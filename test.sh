#!/usr/bin/env bash
# Builds both Windows targets and the 32-bit package, then runs the whole test suite twice: the 64-bit
# build under this machine's Wine 8, and the 32-bit release build under Wine 10 in WoW64 mode.
# A machine whose kernel runs no 32-bit code runs the 64-bit suite and the release inspection alone.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh
mkdir -p build

# Asked of the machine before anything else, never read off a test of ours failing.
run32=1
scripts/wow64.sh can-run >build/probe32.log || run32=0
not_run="32-bit build under Wine 10 (WoW64): not run: this machine's kernel runs no 32-bit code (a 32-bit system call faults)."
if [ $run32 = 0 ]; then
    echo "$not_run"
fi

# The real programming tool is built from its source beside the project; a checkout without it still runs
# everything else, and says so. CI (.ci/run) makes that a failure, so that it always runs them.
tool_source=../shared/third-party/xc3sprog
tool_not_run=""
if [ ! -f "$tool_source/xc3sprog.cpp" ]; then
    tool_not_run="Real-tool tests: not run: the programming tool's source is not in $tool_source beside this checkout."
    echo "$tool_not_run"
    if [ "${VLR_REQUIRE_REAL_TOOL:-0}" = 1 ]; then
        echo "CI runs the real-tool tests: put the tool's source there." >&2
        exit 1
    fi
fi

# The Wine 10 root is mostly download and unpacking, so it is made while the compilers run; a machine
# that cannot use it neither downloads nor builds it.
root_log=build/wow64-root.log
root_job=""
stop_root_job() { [ -n "$root_job" ] && kill -- "-$root_job" 2>/dev/null || true; }
if [ $run32 = 1 ]; then
    setsid scripts/wow64.sh ensure >"$root_log" 2>&1 </dev/null &
    root_job=$!
    trap stop_root_job EXIT
fi

cmake --preset win64 >/dev/null
cmake --build --preset win64
# The 32-bit tool is built only where the 32-bit suite runs it.
cmake --preset win32 -DLOADER_REAL_TOOL=$([ $run32 = 1 ] && echo ON || echo OFF) >/dev/null
cmake --build --preset win32
cmake --build --preset win32 --target package

if [ $run32 = 1 ]; then
    if ! wait "$root_job"; then
        cat "$root_log" >&2
        exit 1
    fi
    trap - EXIT
    cat "$root_log"
fi

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
if [ $run32 = 1 ]; then
    # The other Wine gets a display of its own, with nothing of the first one's left on it.
    start_display --headless
    echo "== 32-bit build under Wine 10 (WoW64) =="
    scripts/wow64.sh session build/win32 ctest --preset win32 "$@" 2>&1 | tee build/win32-ctest.log || status=1
else
    # The 32-bit suite runs this inspection itself; without it, it runs here.
    echo "== 32-bit release build and package: inspection =="
    inspection=passed
    version=$(sed -n 's/^project(VLRLoader VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    bash tests/inspect_release.sh "build/win32/VLR Loader.exe" "build/win32/VLR-Loader-$version-win32.zip" 2>&1 |
        tee build/inspect-release.log || { inspection=failed; status=1; }
fi

# A suite counts as passed only with its own closing summary, whatever cut it short.
summary() { awk '/tests passed, /{on=1} on' "$1" | grep -v '^$' || { tail -n 5 "$1"; echo "(no CTest summary)"; return 1; }; }
echo
[ -n "$tool_not_run" ] && echo "$tool_not_run"
if [ $run32 = 1 ]; then
    echo "== Summary: 64-bit build under Wine 8 =="
    summary build/win64-ctest.log || status=1
    echo "== Summary: 32-bit build under Wine 10 (WoW64) =="
    summary build/win32-ctest.log || status=1
else
    # The 64-bit suite's summary comes last, so that the run still closes on a test runner's own line.
    echo "== Summary: 32-bit build under Wine 10 (WoW64) =="
    echo "$not_run"
    echo "Release inspection of the 32-bit build and its package: $inspection ($(grep -c '^ok: ' build/inspect-release.log) checks passed)."
    echo "== Summary: 64-bit build under Wine 8 =="
    summary build/win64-ctest.log || status=1
fi
exit $status
