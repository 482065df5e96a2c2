#!/usr/bin/env bash
# Builds the loader and the bench programs, then times the loader against the bare platform under Wine.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh

# BENCH_BUILD_DIR builds elsewhere than the preset's folder, so that a bench can run beside other builds.
targets=(bench_driver bare_dialog bare_dialog_imports bare_tool_runner loader simulated_card standin_xc3sprog)
if [ -n "${BENCH_BUILD_DIR:-}" ]; then
    build="$BENCH_BUILD_DIR"
    cmake --preset win64 -B "$build" >/dev/null
    cmake --build "$build" -j2 --target "${targets[@]}"
else
    build=build/win64
    cmake --preset win64 >/dev/null
    cmake --build --preset win64 --target "${targets[@]}"
fi

. scripts/wine-env.sh
start_display --headless
trap stop_wine_and_display EXIT
start_wine
"$WINE64" "$build/bench/bench_driver.exe" "$@"
