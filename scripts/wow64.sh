#!/usr/bin/env bash
# Runs 32-bit Windows programs under Wine 10 in WoW64 mode, inside a Debian 13 root kept once per machine.
#
#   wow64.sh can-run                  tell whether this machine runs 32-bit code at all (exit 0) or not (exit 1)
#   wow64.sh ensure                   build the root unless a complete one is there
#   wow64.sh session TREE CMD ARGS... run CMD with the root's mounts in place, TREE bound at its own path,
#                                     a persistent Wine server and a warm-up window; all undone at the end
#   wow64.sh run TREE PROGRAM ARGS... run one Windows program in the root (the win32 preset's CTest emulator)
#   wow64.sh remove                   unmount-check and delete the root
#
# Mounts live in a private mount namespace of the run, so that nothing outside it sees them and none
# outlives it; the run also takes them down itself when it ends, fails or is interrupted.
set -euo pipefail

CACHE=${VLR_WOW64_CACHE:-/var/cache/vlr-loader}
ROOT=$CACHE/wow64-trixie
# Written last; its text names the recipe, so that a root made by another recipe is rebuilt.
MARKER=$ROOT/.vlr-loader-complete
RECIPE="trixie minbase; wine64 wine; libwine:i386 windows DLLs; template prefix; v1"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
TEMPLATE=/var/lib/vlr-loader/template-prefix
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

die() { echo "wow64: $*" >&2; exit 1; }

# WoW64 mode runs 32-bit Windows code in a 64-bit process, but it still needs the kernel's 32-bit
# system calls and code segment, which some kernels do not offer (booted with ia32_emulation off, say).
NO_32BIT="this machine's kernel runs no 32-bit code (a 32-bit system call faults)"

# The verdict from the probe's exit status and output. "no" only on evidence of all three: the probe ran
# (its first line), its 32-bit call never answered (no second line), and it died of a fault. Anything
# else, a probe that could not be built included, says "yes": the 32-bit suite then runs and its own
# results decide, so a misread probe can cost a failing run but never hide one.
read_probe() {
    local status=$1 output=$2
    if grep -qE '^64-bit getpid [0-9]+$' <<<"$output" && ! grep -q '^32-bit getpid' <<<"$output"; then
        case $status in
            132 | 133 | 135 | 139) echo no; return ;;   # SIGILL, SIGTRAP, SIGBUS, SIGSEGV
        esac
    fi
    echo yes
}

probe_32bit() {
    local dir status=0 output=""
    dir=$(mktemp -d)
    if cc -O0 -o "$dir/probe" "$HERE/syscall32_probe.c" 2>"$dir/cc.log"; then
        output=$("$dir/probe" 2>/dev/null) || status=$?
    else
        echo "wow64: the 32-bit probe could not be built; taking this machine for one that runs 32-bit code" >&2
        sed 's/^/    /' "$dir/cc.log" >&2
    fi
    rm -rf "$dir"
    read_probe "$status" "$output"
}

# A plain line instead of Wine's "could not be started" for every program, where nothing 32-bit runs.
require_32bit() {
    [ "$(probe_32bit)" = yes ] || die "32-bit Windows programs cannot run here: $NO_32BIT"
}

# Runs a command as root: directly, or through sudo with this environment kept.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        local vars
        mapfile -d '' vars < <(env -0)
        sudo env "${vars[@]}" "$@"
    fi
}

# Mount points under the root seen by any process on the machine, in any namespace, and processes
# whose root directory is inside it: either means the root is in use and must not be deleted.
root_in_use() {
    local f pid
    for f in /proc/[0-9]*/mountinfo; do
        awk -v r="$ROOT/" '{ if (index($5, r) == 1) { found = 1; exit } } END { exit !found }' "$f" 2>/dev/null && return 0
    done
    for f in /proc/[0-9]*/root; do
        pid=${f#/proc/}; pid=${pid%/root}
        [ "$pid" = "$$" ] && continue
        case "$(readlink "$f" 2>/dev/null)" in "$ROOT" | "$ROOT"/*) return 0 ;; esac
    done
    return 1
}

unmount_root() {
    local m
    # Deepest first, so that /dev's submounts go before /dev itself.
    for m in $(awk -v r="$ROOT/" 'index($5, r) == 1 {print $5}' /proc/self/mountinfo | sort -r); do
        umount -l "$m" 2>/dev/null || true
    done
}

remove_root() {
    [ -e "$ROOT" ] || return 0
    unmount_root
    if root_in_use; then
        die "$ROOT is still mounted or in use by a running program; not deleting it"
    fi
    rm -rf --one-file-system "$ROOT"
}

# The Debian mirror of this machine's own apt sources.
host_mirror() {
    local uri
    uri=$(awk '/^URIs:/ {u=$2} /^Suites:/ && u && $0 !~ /security/ {print u; exit}' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
    [ -n "$uri" ] || uri=$(awk '$1 == "deb" && $0 !~ /security/ {for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) {print $i; exit}}' \
                           /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | head -n 1 || true)
    [ -n "$uri" ] || die "no Debian mirror found in this machine's apt sources"
    echo "$uri"
}

# Mounts what programs in the root need; called inside a private mount namespace.
mount_root() {
    local tree=$1
    mount -t proc proc "$ROOT/proc"
    mount --rbind /dev "$ROOT/dev"
    mount --make-rslave "$ROOT/dev"
    if [ -d /tmp/.X11-unix ]; then
        mkdir -p "$ROOT/tmp/.X11-unix"
        mount --bind /tmp/.X11-unix "$ROOT/tmp/.X11-unix"
    fi
    if [ -n "$tree" ]; then
        mkdir -p "$ROOT$tree"
        mount --bind "$tree" "$ROOT$tree"
    fi
}

in_root() { chroot "$ROOT" env PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$@"; }

build_root() {
    local mirror
    mirror=$(host_mirror)
    command -v debootstrap >/dev/null || die "debootstrap is missing (scripts/ensure-deps.sh installs it)"
    echo "Building the Wine 10 root in $ROOT from $mirror (once per machine)..."
    remove_root
    mkdir -p "$CACHE"
    debootstrap --variant=minbase trixie "$ROOT" "$mirror" >"$CACHE/debootstrap.log" 2>&1 ||
        { tail -n 20 "$CACHE/debootstrap.log" >&2; die "debootstrap failed (log: $CACHE/debootstrap.log)"; }
    cp /etc/resolv.conf "$ROOT/etc/resolv.conf" 2>/dev/null || true
    unshare --mount --propagation private bash -c "$(declare -f mount_root in_root); ROOT='$ROOT'; TEMPLATE='$TEMPLATE'; WINE='$WINE'; WINESERVER='$WINESERVER'"'
        set -euo pipefail
        mount_root ""
        export DEBIAN_FRONTEND=noninteractive
        in_root dpkg --add-architecture i386
        in_root apt-get update -qq
        in_root apt-get install -y -qq --no-install-recommends wine64 wine >/dev/null
        # The 32-bit Windows side of Wine, unpacked by hand beside the 64-bit one: nothing i386 is installed.
        in_root sh -c "cd /tmp && apt-get download -qq libwine:i386 && dpkg-deb --fsys-tarfile libwine_*_i386.deb |
            tar -x -C / --wildcards --transform \"s,^\\./usr/lib/i386-linux-gnu/,./usr/lib/x86_64-linux-gnu/,\" \
                \"./usr/lib/i386-linux-gnu/wine/i386-windows/*\" && rm -f libwine_*_i386.deb"
        in_root apt-get clean
        # A prepared prefix that each build tree copies, instead of booting its own.
        in_root sh -c "mkdir -p $TEMPLATE && WINEPREFIX=$TEMPLATE $WINE wineboot -u >/dev/null 2>&1 </dev/null &&
            WINEPREFIX=$TEMPLATE $WINE reg add \"HKCU\\Software\\Wine\\X11 Driver\" /v Managed /d N /f >/dev/null 2>&1 </dev/null;
            WINEPREFIX=$TEMPLATE $WINESERVER -w"
        umount -R "$ROOT/dev" "$ROOT/proc"
    ' || die "setting up Wine in the root failed"
    [ -f "$ROOT/usr/lib/x86_64-linux-gnu/wine/i386-windows/kernel32.dll" ] || die "the 32-bit Windows DLLs are missing in the root"
    grep -q '"Managed"="N"' "$ROOT$TEMPLATE/user.reg" || die "the template prefix was not made"
    echo "$RECIPE" > "$MARKER"
    echo "The Wine 10 root is ready ($(du -sh --one-file-system "$ROOT" | cut -f1))."
}

ensure_root() {
    mkdir -p "$CACHE"
    # One builder at a time; a second run waits and then finds the root complete.
    exec 9>"$CACHE/.lock"
    flock 9
    if [ "$(cat "$MARKER" 2>/dev/null)" != "$RECIPE" ]; then
        build_root
    fi
    flock -u 9
}

# The prefix of one build tree: its own, copied from the template on first use.
tree_prefix() {
    local tree=$1
    echo "/var/lib/vlr-loader/prefixes/$(printf '%s' "$tree" | sha1sum | cut -c1-16)"
}

prepare_prefix() {
    local tree=$1 prefix
    prefix=$(tree_prefix "$tree")
    if [ ! -f "$ROOT$prefix/system.reg" ]; then
        mkdir -p "$(dirname "$ROOT$prefix")"
        rm -rf "$ROOT$prefix"
        cp -a "$ROOT$TEMPLATE" "$ROOT$prefix"
        echo "$tree" > "$ROOT$prefix/.tree"
    fi
    # Prefixes of build trees that are gone (checkouts deleted since) are dropped.
    local other
    for other in "$ROOT"/var/lib/vlr-loader/prefixes/*/; do
        [ -f "$other.tree" ] && [ ! -d "$(cat "$other.tree")" ] && rm -rf "$other"
    done
    return 0
}

# Processes of this run in the root: those of this mount namespace whose root directory is the root.
session_processes() {
    local ns f pid
    ns=$(readlink /proc/self/ns/mnt)
    for f in /proc/[0-9]*/root; do
        pid=${f#/proc/}; pid=${pid%/root}
        [ "$(readlink "/proc/$pid/ns/mnt" 2>/dev/null)" = "$ns" ] || continue
        case "$(readlink "$f" 2>/dev/null)" in "$ROOT" | "$ROOT"/*) echo "$pid" ;; esac
    done
}

# A program in the root with the given prefix, started in the given folder.
in_prefix() {
    local prefix=$1 dir=$2; shift 2
    chroot "$ROOT" env WINEPREFIX="$prefix" WINEDEBUG=-all sh -c 'cd "$1" && shift && exec "$@"' sh "$dir" "$@"
}

server_pid() {
    local p
    for p in $(session_processes); do
        [ "$(cat "/proc/$p/comm" 2>/dev/null)" = wineserver64 ] && { echo "$p"; break; }
    done
    return 0
}

start_server() {
    in_prefix "$1" / "$WINESERVER" -p >/dev/null 2>&1 </dev/null &
    sleep 0.3
    # Wine's desktop process lives while any window's process does; one window kept open for the whole
    # run keeps it from being started by a test, whose output it would then hold open.
    if [ -f "$2/wine_warm_up.exe" ]; then
        in_prefix "$1" "$2" "$WINE" "$2/wine_warm_up.exe" >/dev/null 2>&1 </dev/null &
        sleep 2
    fi
}

# Wine 10's server was seen, rarely, to spin at full speed in a loop that serves nobody (no system call,
# so no voluntary context switch), which hangs every program of the run. A server that has done so for
# 30 s is ended with its programs and started again; the emulator runs a program it took down once more.
watch_server() {
    local prefix=$1 tree=$2 tick last="" busy=0 pid now
    tick=$(getconf CLK_TCK)
    while sleep 5 >/dev/null 2>&1; do
        pid=$(server_pid)
        [ -n "$pid" ] || { last=""; continue; }
        # CPU ticks used and voluntary context switches so far.
        now=$(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null)" "$(awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$pid/status" 2>/dev/null) ||
            continue
        if [ -n "$last" ] && [ "${now#* }" = "${last#* }" ] && [ $((${now% *} - ${last% *})) -ge $((tick * 5 * 9 / 10)) ]; then
            busy=$((busy + 1))
        else
            busy=0
        fi
        last=$now
        if [ $busy -ge 6 ]; then
            echo "wow64: Wine's server spun for 30 s without serving; it is restarted and the programs it hung run again" >&2
            rm -f "$RESTARTED.done"
            date +%s%N > "$RESTARTED"
            kill -9 $(session_processes) 2>/dev/null || true
            start_server "$prefix" "$tree"
            date +%s%N > "$RESTARTED.done"
            busy=0; last=""
        fi
    done
}

# Inside the session's namespace: mounts, the persistent server, the warm-up window, the command, the clean-up.
session_inside() {
    local tree=$1; shift
    local prefix status=0 watcher=""
    prefix=$(tree_prefix "$tree")
    cleanup() {
        set +e
        # The watch first, so that no restart races with the clean-up.
        [ -n "$watcher" ] && kill "$watcher" 2>/dev/null && wait "$watcher" 2>/dev/null
        timeout 10 chroot "$ROOT" env WINEPREFIX="$prefix" "$WINESERVER" -k >/dev/null 2>&1 || true
        # What a hung server or a killed test left behind.
        kill -9 $(session_processes) 2>/dev/null || true
        rm -f "$RESTARTED" "$RESTARTED.done"
        unmount_root
    }
    trap cleanup EXIT
    trap 'exit 130' INT TERM
    mount_root "$tree"
    prepare_prefix "$tree"
    export VLR_WOW64_MOUNTED="$ROOT:$tree"
    export RESTARTED=$ROOT/tmp/vlr-server-restarted-$$
    start_server "$prefix" "$tree"
    watch_server "$prefix" "$tree" &
    watcher=$!
    "$@" || status=$?
    exit $status
}

# One Windows program in the root, with the current folder, the arguments and the environment passed through.
run_program() {
    local tree=$1; shift
    local dir prefix
    dir=$(pwd -P)
    case "$dir/" in "$tree"/*) ;; *) dir=$tree ;; esac
    prefix=$(tree_prefix "$tree")
    if [ "${VLR_WOW64_MOUNTED:-}" = "$ROOT:$tree" ] && mountpoint -q "$ROOT/proc"; then
        local started status=0 try
        for try in 1 2; do
            started=$(date +%s%N)
            in_prefix "$prefix" "$dir" "$WINE" "$@" || status=$?
            # Run once more only when the session's watch took the program down with a hung server.
            [ "$status" -ne 0 ] && [ "$(cat "$RESTARTED" 2>/dev/null || echo 0)" -gt "$started" ] && [ "$try" = 1 ] || return $status
            for _ in $(seq 100); do [ -f "$RESTARTED.done" ] && break; sleep 0.1; done
            echo "wow64: running $1 again after Wine's server was restarted" >&2
            status=0
        done
    fi
    # Outside a session: a namespace of this program's own, gone when it ends.
    require_32bit
    [ "$(cat "$MARKER" 2>/dev/null)" = "$RECIPE" ] || die "no complete root in $ROOT (run: $0 ensure)"
    exec unshare --mount --propagation private bash -c "$(declare -f mount_root prepare_prefix tree_prefix in_prefix); ROOT='$ROOT'; TEMPLATE='$TEMPLATE'"'
        set -e
        mount_root "$1" && prepare_prefix "$1"
        shift
        in_prefix "$@"
    ' bash "$tree" "$prefix" "$dir" "$WINE" "$@"
}

command=${1:-}
shift || true
case "$command" in
    can-run)
        if [ "$(probe_32bit)" = yes ]; then
            echo "This machine runs 32-bit code: 32-bit Windows programs can run under Wine 10 (WoW64)."
        else
            echo "32-bit Windows programs cannot run here: $NO_32BIT."
            exit 1
        fi ;;
    _read-probe) read_probe "$@" ;;
    ensure) require_32bit; as_root "$0" _ensure ;;
    _ensure) ensure_root ;;
    remove) as_root "$0" _remove ;;
    _remove) [ -d "$CACHE" ] || exit 0; exec 9>"$CACHE/.lock"; flock 9; remove_root ;;
    session)
        [ $# -ge 2 ] || die "usage: $0 session TREE COMMAND..."
        tree=$(cd "$1" && pwd -P); shift
        require_32bit
        [ "$(cat "$MARKER" 2>/dev/null)" = "$RECIPE" ] || die "no complete root in $ROOT (run: $0 ensure)"
        as_root unshare --mount --propagation private "$0" _session "$tree" "$@" ;;
    _session) session_inside "$@" ;;
    run)
        [ $# -ge 2 ] || die "usage: $0 run TREE PROGRAM [ARGS...]"
        tree=$(cd "$1" && pwd -P); shift
        if [ "$(id -u)" -ne 0 ]; then as_root "$0" run "$tree" "$@"; exit; fi
        run_program "$tree" "$@" ;;
    *) sed -n '2,13p' "$0" >&2; exit 2 ;;
esac
