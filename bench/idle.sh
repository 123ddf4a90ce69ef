#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# System calls of an idle Tollwick before its first minute tick, minimized and then
# focused, counted with strace over several windows. Usage: bench/idle.sh path/to/tollwick
set -uo pipefail
tollwick="$1"
. "$(dirname "$0")/desktop.sh"
home="$bench_work/idle"
mkdir -p "$home"
HOME="$home" XDG_CONFIG_HOME="$home/.config" "$tollwick" >/dev/null 2>&1 &
pid=$!
bench_pids+=("$pid")
win=""
for _ in $(seq 100); do
    win="$(xdotool search --onlyvisible --pid "$pid" --name Tollwick 2>/dev/null | head -n 1)"
    [ -n "$win" ] && break
    sleep 0.1
done
sleep 2 # the first tick comes at 60 s; both windows below lie before it

count() { # count SECONDS: system calls of the program in that many seconds
    timeout -s INT "$1" strace -c -f -p "$pid" -o "$bench_work/strace.txt" >/dev/null 2>&1
    local n
    n="$(awk '$NF == "total" {print $(NF-2)}' "$bench_work/strace.txt")"
    echo "${n:-0}" # strace prints no total when there was no call at all
}
stats() { # median, min and max of one column of numbers
    sort -n | awk '{v[NR]=$1} END {printf "%s (%s-%s)", v[int((NR + 1) / 2)], v[1], v[NR]}'
}
# Four windows of 11 s minimized, then three of 3 s focused, all before the first tick.
xdotool windowminimize --sync "$win"
sleep 1
minimized="$(for _ in 1 2 3 4; do echo $(( $(count 11) * 60 / 11 )); done | stats)"
xdotool windowactivate --sync "$win" 2>/dev/null
sleep 1
focused="$(for _ in 1 2 3; do echo $(( $(count 3) / 3 )); done | stats)"
cpu="$(awk '{print $14 + $15}' "/proc/$pid/stat")"
echo "minimized: $minimized system calls a minute (median, min-max of 4 windows of 11 s)"
echo "focused:   $focused system calls a second (median, min-max of 3 windows of 3 s;" \
    "the text cursor blinks)"
echo "CPU ticks used since start: $cpu"
kill "$pid"
