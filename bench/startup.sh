#!/usr/bin/env bash
# Time from exec to the window mapped, and resident memory once shown, under Xvfb with
# openbox: median of several runs, with empty lists and with 32767 entries in each.
# Usage: bench/startup.sh path/to/tollwick [runs]
set -uo pipefail
tollwick="$1"
runs="${2:-9}"
. "$(dirname "$0")/desktop.sh"
export QT_QPA_PLATFORM=xcb

measure() { # measure HOME: prints "<ms to map> <RSS kB>"
    local home="$1" log="$bench_work/xev.log"
    : >"$log"
    xev -root -event substructure | while IFS= read -r line; do
        case "$line" in MapNotify*) echo "$EPOCHREALTIME" >>"$log" ;; esac
    done &
    local xevpid=$!
    sleep 0.3
    local t0=$EPOCHREALTIME
    HOME="$home" XDG_CONFIG_HOME="$home/.config" "$tollwick" >/dev/null 2>&1 &
    local pid=$!
    for _ in $(seq 300); do [ -s "$log" ] && break; sleep 0.01; done
    sleep 1.5 # shown and painted
    local t1 rss
    t1="$(head -n 1 "$log")"
    rss="$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")"
    kill "$pid"; wait "$pid" 2>/dev/null
    pkill -P "$xevpid" xev 2>/dev/null; kill "$xevpid" 2>/dev/null
    awk -v a="$t0" -v b="$t1" -v r="$rss" 'BEGIN {printf "%.1f %d\n", (b - a) * 1000, r}'
}

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR + 1) / 2)]}'; }

for kind in empty full; do
    home="$bench_work/$kind"
    mkdir -p "$home/.config/tollwick"
    [ "$kind" = full ] && full_settings "$home/.config/tollwick/tollwk.ini"
    : >"$bench_work/$kind.txt"
    for _ in $(seq "$runs"); do
        [ "$kind" = full ] && cp "$home/.config/tollwick/tollwk.ini" "$bench_work/keep.ini"
        measure "$home" >>"$bench_work/$kind.txt"
        [ "$kind" = full ] && cp "$bench_work/keep.ini" "$home/.config/tollwick/tollwk.ini"
    done
    printf '%-28s map %6s ms   RSS %6s kB   (median of %d)\n' \
        "$([ "$kind" = full ] && echo '32767 entries in each list' || echo 'empty lists')" \
        "$(cut -d' ' -f1 "$bench_work/$kind.txt" | median)" \
        "$(cut -d' ' -f2 "$bench_work/$kind.txt" | median)" "$runs"
done
