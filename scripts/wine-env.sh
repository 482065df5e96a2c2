# Sourced by the scripts: a Wine prefix of the build's own, a display, and a persistent Wine server.
WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
STARTED_XVFB=""

start_display() {
    if [ -n "${DISPLAY:-}" ] && [ "${1:-}" != "--headless" ]; then
        return
    fi
    local n
    for n in $(seq 90 130); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    STARTED_XVFB=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
}

start_wine() {
    mkdir -p "$WINEPREFIX"
    [ -f "$WINEPREFIX/system.reg" ] || echo "Preparing the Wine prefix (once)..."
    "$WINESERVER" -p >/dev/null 2>&1 &
    sleep 0.3
    # Wine's background services start with the first program of a session and keep its output
    # open; starting them here, detached, keeps them off the pipes of the test runner.
    "$WINE64" wineboot -i >/dev/null 2>&1 </dev/null || true
    # Without a window manager (our own Xvfb), every window that Wine hides or destroys waits for
    # one for about two seconds; unmanaged windows don't. On a real desktop the manager frames them.
    local key='HKCU\Software\Wine\X11 Driver'
    if [ -n "$STARTED_XVFB" ]; then
        grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null ||
            "$WINE64" reg add "$key" /v Managed /d N /f >/dev/null 2>&1 </dev/null || true
    elif grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
        "$WINE64" reg delete "$key" /v Managed /f >/dev/null 2>&1 </dev/null || true
    fi
}

stop_wine_and_display() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
    [ -n "$STARTED_XVFB" ] && kill "$STARTED_XVFB" >/dev/null 2>&1 || true
}
