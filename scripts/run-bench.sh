#!/usr/bin/env bash
# Runs every benchmark isolated from the network; each prints its figures.
set -u
build=${1:-build}
# The traceroute benchmark prints Debian's `traceroute -I` beside the program's own.
if ! command -v traceroute >/dev/null 2>&1 && ! [ -x /usr/sbin/traceroute ]; then
    SUDO=""
    [ "$(id -u)" = 0 ] || SUDO=sudo
    echo "installing traceroute for the benchmarks"
    $SUDO apt-get install -y -q traceroute >/dev/null || echo "WARNING: could not install traceroute"
fi
# A peer a benchmark prints beside its own figures, installed when missing.
install_peer() { # PACKAGE COMMAND
    command -v "$2" >/dev/null 2>&1 && return
    SUDO=""
    [ "$(id -u)" = 0 ] || SUDO=sudo
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "$1" >/dev/null 2>&1 \
        || { $SUDO apt-get update -q >/dev/null 2>&1 \
             && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "$1" >/dev/null 2>&1; } \
        || echo "$1 could not be installed; its figures are left out"
}
# The scan benchmark prints fping's figures beside its own.
install_peer fping fping
# The monitor benchmark prints Debian's smokeping prober beside the headless run.
install_peer prometheus-smokeping-prober prometheus-smokeping-prober
# The path benchmark prints Debian's mtr-tiny report beside its per-hop figures.
install_peer mtr-tiny mtr
# Every bench prints its figures; rows of the closing table come as "@row" lines
# (figure, ours, target, peer), gathered here and printed together at the end.
rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
isolated() {
    if [ "$(id -u)" = 0 ]; then
        unshare -n sh -c 'ip link set lo up && exec "$0" "$@"' "$@"
    else
        unshare -r -n sh -c 'ip link set lo up && exec "$0" "$@"' "$@"
    fi
}
run_bench() {
    echo "== $(basename "$1") ${*:2}"
    isolated "$@" | while IFS= read -r line; do
        case "$line" in
            @row*) printf '%s\n' "$line" >>"$rows" ;;
            *) printf '%s\n' "$line" ;;
        esac
    done
}
for b in "$build"/bench/bench_*; do
    [ -f "$b" ] && [ -x "$b" ] || continue
    run_bench "$b"
    # The big log is measured at one million echoes as well as at its ten million.
    [ "$(basename "$b")" = bench_biglog ] && run_bench "$b" 1000000
done
echo
echo "== figures, targets and peers (same run, loopback or a test namespace)"
{
    printf 'figure\tnetvane\ttarget\tpeer\n'
    cut -f2- "$rows"
} | column -t -s "$(printf '\t')"
