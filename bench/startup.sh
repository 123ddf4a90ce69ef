#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# Time from exec to the window mapped, and resident memory once shown, under Xvfb with
# openbox, with empty lists and with 32767 entries in each. Prints the median with min and
# max of the runs, and of 21 runs the time the dynamic loader spends before main
# (LD_DEBUG=statistics), where what the program links shows most exactly.
# Usage: bench/startup.sh path/to/tollwick [runs]
set -uo pipefail
program="$1"
runs="${2:-9}"
. "$(dirname "$0")/desktop.sh"
export QT_QPA_PLATFORM=xcb

measure() { # measure PROGRAM HOME: prints "<ms to map> <RSS kB>"
    local program="$1" home="$2" log="$bench_work/xev.log"
    : >"$log"
    xev -root -event substructure | while IFS= read -r line; do
        case "$line" in MapNotify*) echo "$EPOCHREALTIME" >>"$log" ;; esac
    done &
    local xevpid=$!
    sleep 0.3
    local t0=$EPOCHREALTIME
    HOME="$home" XDG_CONFIG_HOME="$home/.config" "$program" >/dev/null 2>&1 &
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

stats() { # median, min and max of one column of numbers
    sort -n | awk '{v[NR]=$1} END {printf "%s (%s-%s)", v[int((NR + 1) / 2)], v[1], v[NR]}'
}

for kind in empty full; do
    home="$bench_work/$kind"
    mkdir -p "$home/.config/tollwick"
    [ "$kind" = full ] && full_settings "$home/.config/tollwick/tollwk.ini"
    : >"$bench_work/$kind.txt"
    for _ in $(seq "$runs"); do
        # The program saves at its close; each run starts from the same lists.
        [ "$kind" = full ] && cp "$home/.config/tollwick/tollwk.ini" "$bench_work/keep.ini"
        measure "$program" "$home" >>"$bench_work/$kind.txt"
        [ "$kind" = full ] && cp "$bench_work/keep.ini" "$home/.config/tollwick/tollwk.ini"
    done
    printf '%-28s map %s ms   RSS %s kB   (median (min-max) of %d)\n' \
        "$([ "$kind" = full ] && echo '32767 entries in each list' || echo 'empty lists')" \
        "$(cut -d' ' -f1 "$bench_work/$kind.txt" | stats)" \
        "$(cut -d' ' -f2 "$bench_work/$kind.txt" | stats)" "$runs"
done

mhz="$(awk '/cpu MHz/ {print $4; exit}' /proc/cpuinfo)"
home="$bench_work/loader"
mkdir -p "$home"
for _ in $(seq 21); do
    LD_DEBUG=statistics HOME="$home" XDG_CONFIG_HOME="$home/.config" \
        QT_QPA_PLATFORM=offscreen timeout 1 "$program" 2>&1 >/dev/null \
        | awk -v mhz="$mhz" '/total startup time in dynamic loader/ {
              printf "%.2f\n", $(NF-1) / mhz / 1000; exit }'
done >"$bench_work/loader.txt"
printf '%-28s dynamic loader before main %s ms   (median (min-max) of 21)\n' \
    "" "$(stats <"$bench_work/loader.txt")"
