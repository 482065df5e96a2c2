#!/usr/bin/env bash
# Builds the loader, lays out a demo Program directory with the simulated card and the tool, and starts it under Wine.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64 --target loader simulated_card make_card_files standin_xc3sprog

demo=build/demo
mkdir -p "$demo"
# The simulated card keeps what it was given (its FPGA's design, both flashes) between runs of the demo;
# --new-card starts it afresh: no design, both flashes erased.
for argument in "$@"; do
    case "$argument" in
        --new-card) rm -f "$demo/simulated-card.state"; echo "The simulated card starts afresh." ;;
        *) echo "usage: ./run.sh [--new-card]" >&2; exit 2 ;;
    esac
done
cp "build/win64/VLR Loader.exe" build/win64/simulated-card/ftd2xx.dll "$demo/"
printf '[Driver]\r\nCount=1\r\nDescription0=Vellora USB JTAG Cable\r\n' > "$demo/simulated-card.ini"
# The real tool and its own bridge bitstream when its source lies beside the project, else the tool stand-in.
if [ -f ../shared/third-party/xc3sprog/xc3sprog.cpp ]; then
    cmake --build --preset win64 --target real_tool
    cp -f build/win64/real-tool/xc3sprog.exe build/win64/real-tool/xc3s400an.bit "$demo/"
else
    cp build/win64/stand-ins/xc3sprog.exe "$demo/"
    : > "$demo/xc3s400an.bit"
fi
# The card's own bitstreams: the external-flash helper vlrext.bit, a design (sample.bit) and one that never starts.
build/win64/simulated-card/make_card_files "$demo"
printf '@echo off\r\necho VLR Loader: put the card on USB, choose a .bit file, choose a destination, press Load.\r\n' > "$demo/Help.bat"

. scripts/wine-env.sh
if [ -n "${DISPLAY:-}" ]; then
    start_wine
    trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT
    (cd "$demo" && "$WINE64" "VLR Loader.exe" sample.bit) || true
    exit 0
fi

start_display --headless
trap stop_wine_and_display EXIT
start_wine
(cd "$demo" && "$WINE64" "VLR Loader.exe" sample.bit >/dev/null 2>&1 &)
window=""
for _ in $(seq 100); do
    # The caption ends in a line break, so the window is found by its program and its size.
    window=$(xwininfo -root -tree 2>/dev/null | awk '$1 ~ /^0x/ {id=$1} /\("vlr loader.exe" "vlr loader.exe"\)  [0-9][0-9][0-9]+x/ {print id; exit}' || true)
    [ -n "$window" ] && break
    sleep 0.2
done
sleep 1
# The root window cut to the Main window's frame: reading a Wine window directly can fail while it is redrawn.
geometry=""
[ -n "$window" ] && geometry=$(xwininfo -id "$window" 2>/dev/null |
    awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /^  Width/ {w=$NF} /^  Height/ {h=$NF}
         END {if (w) printf "%dx%d+%d+%d", w, h, (x < 0 ? 0 : x), (y < 0 ? 0 : y)}')
if [ -n "$geometry" ]; then
    import -window root -crop "$geometry" +repage "$demo/screenshot.png"
else
    import -window root "$demo/screenshot.png"
fi
"$WINESERVER" -k >/dev/null 2>&1 || true
echo "No display: the Main window ran under Xvfb; its picture is in $demo/screenshot.png"
