#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# Time from exec to the window mapped, and resident memory once shown, under Xvfb with
# openbox, with empty lists and with 32767 entries in each. Prints the median with min and
# max of the runs, and of 21 runs the time the dynamic loader spends before main
# (LD_DEBUG=statistics), where what the program links shows most exactly.
# With mutter: under GNOME's compositor, headless with Xwayland, the time to the window
# mapped on Xwayland as GNOME starts the program (QT_QPA_PLATFORM unset: the program asks
# the compositor whether it draws title bars, and goes through Xwayland), against the same
# with QT_QPA_PLATFORM=xcb (the user's choice: nothing asked).
# Usage: bench/startup.sh path/to/tollwick [runs] [x11|mutter]
set -uo pipefail
program="$1"
runs="${2:-9}"
bench_desktop="${3:-x11}"
. "$(dirname "$0")/desktop.sh"
[ "$bench_desktop" = x11 ] && export QT_QPA_PLATFORM=xcb

# measure PROGRAM HOME [VAR=VALUE...]: prints "<ms to map> <RSS kB> <ms to the choice>", the
# last from the time stamp of the program's log line that tells its window system.
measure() {
    local program="$1" home="$2" log="$bench_work/xev.log"
    shift 2
    : >"$log"
    xev -root -event substructure | while IFS= read -r line; do
        case "$line" in MapNotify*) echo "$EPOCHREALTIME" >>"$log" ;; esac
    done &
    local xevpid=$!
    sleep 0.3
    local t0=$EPOCHREALTIME
    env HOME="$home" XDG_CONFIG_HOME="$home/.config" \
        QT_MESSAGE_PATTERN='%{time yyyy-MM-dd HH:mm:ss.zzz} %{message}' "$@" "$program" \
        >/dev/null 2>"$bench_work/stderr.log" &
    local pid=$!
    for _ in $(seq 300); do [ -s "$log" ] && break; sleep 0.01; done
    sleep 1.5 # shown and painted
    local t1 rss
    t1="$(head -n 1 "$log")"
    rss="$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")"
    kill "$pid"; wait "$pid" 2>/dev/null
    pkill -P "$xevpid" xev 2>/dev/null; kill "$xevpid" 2>/dev/null
    local chosen
    chosen="$(date -d "$(grep -m 1 'Window system' "$bench_work/stderr.log" | cut -c1-23)" +%s.%N)"
    awk -v a="$t0" -v b="$t1" -v r="$rss" -v c="$chosen" \
        'BEGIN {printf "%.1f %d %d\n", (b - a) * 1000, r, (c - a) * 1000 + 0.5}'
}

stats() { # median, min and max of one column of numbers
    sort -n | awk '{v[NR]=$1} END {printf "%s (%s-%s)", v[int((NR + 1) / 2)], v[1], v[NR]}'
}

if [ "$bench_desktop" = mutter ]; then
    home="$bench_work/mutter-home"
    mkdir -p "$home/.config/tollwick"
    # Alternated, so that a drift of the machine weighs on both alike.
    : >"$bench_work/asked.txt"
    : >"$bench_work/chosen.txt"
    for _ in $(seq "$runs"); do
        measure "$program" "$home" >>"$bench_work/asked.txt"
        measure "$program" "$home" QT_QPA_PLATFORM=xcb >>"$bench_work/chosen.txt"
    done
    for variant in asked chosen; do
        printf '%-44s map %s ms   choice logged %s ms   RSS %s kB   (median (min-max) of %d)\n' \
            "$([ "$variant" = asked ] && echo 'mutter, the compositor asked (unset)' ||
                echo 'mutter, QT_QPA_PLATFORM=xcb (nothing asked)')" \
            "$(cut -d' ' -f1 "$bench_work/$variant.txt" | stats)" \
            "$(cut -d' ' -f3 "$bench_work/$variant.txt" | stats)" \
            "$(cut -d' ' -f2 "$bench_work/$variant.txt" | stats)" "$runs"
    done
    # The question itself: from the connect to the compositor's socket to its close, taken
    # by strace's clock (an upper bound: strace slows each system call).
    for _ in $(seq 21); do
        HOME="$home" XDG_CONFIG_HOME="$home/.config" timeout 2 strace -ttt -e trace=connect,close \
            -o "$bench_work/strace.txt" "$program" >/dev/null 2>&1
        awk -v socket="$WAYLAND_DISPLAY" '
            !fd && index($0, "connect(") && index($0, "\"" socket "\"") {
                fd = $2; sub(/^connect\(/, "", fd); sub(/,$/, "", fd); t0 = $1 }
            fd && $2 == "close(" fd ")" { printf "%.2f\n", ($1 - t0) * 1000; exit }
        ' "$bench_work/strace.txt"
    done >"$bench_work/asking.txt"
    printf '%-44s %s ms   (median (min-max) of 21)\n' 'the compositor asked, connect to close' \
        "$(stats <"$bench_work/asking.txt")"
    exit 0
fi

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
