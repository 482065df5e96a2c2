#!/usr/bin/env bash
# How the 32-bit probe is read: only a probe that ran and faulted on its 32-bit call keeps the 32-bit suite from running.
set -u
wow64="$(cd "$(dirname "$0")/.." && pwd)/scripts/wow64.sh"
passed=0 failed=0
expect() {
    local want=$1 status=$2 output=$3 why=$4 got
    got=$("$wow64" _read-probe "$status" "$output")
    if [ "$got" = "$want" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $why: $got, not $want"; fi
}
ran=$'64-bit getpid 4242'
answered=$'64-bit getpid 4242\n32-bit getpid 4242'
expect yes 0 "$answered" "a kernel that answers the 32-bit call"
expect no 139 "$ran" "the 32-bit call faults (SIGSEGV)"
expect no 132 "$ran" "the 32-bit call is an illegal instruction (SIGILL)"
expect no 135 "$ran" "the 32-bit call raises SIGBUS"
expect yes 139 "" "the probe died before it ran its own code"
expect yes 139 "$answered" "a fault after the 32-bit call had answered"
expect yes 1 "$ran" "the probe ended without a fault"
expect yes 0 "$ran" "the probe ended well without its second line"
expect yes 137 "$ran" "the probe was killed from outside"
expect yes 3 $'64-bit getpid 4242\n32-bit getpid -38' "the 32-bit call answered with an error"
expect yes 139 "64-bit getpid" "a first line without its number"

# The probe on this machine: whatever it says, it says it with the program's own plain line.
line=$("$wow64" can-run) && verdict=yes || verdict=no
case "$verdict:$line" in
    "yes:This machine runs 32-bit code"*) passed=$((passed + 1)) ;;
    "no:32-bit Windows programs cannot run here: this machine's kernel runs no 32-bit code"*) passed=$((passed + 1)) ;;
    *) failed=$((failed + 1)); echo "FAILED: can-run said '$line' with verdict $verdict" ;;
esac
echo "probe on this machine: $line"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
