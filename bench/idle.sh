#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# System calls of an idle Tollwick before its first minute tick, minimized and then
# focused, counted with strace over several windows. Usage: bench/idle.sh path/to/tollwick
# With --after-soak, those of the sound thread after sound_soak's burst of plays instead,
# from 5 s after its last sound: bench/idle.sh --after-soak path/to/sound_soak [pipewire]
set -uo pipefail
tollwick="$1"
. "$(dirname "$0")/desktop.sh"

count() { # count SECONDS: system calls of the program in that many seconds
    timeout -s INT "$1" strace -c -f -p "$pid" -o "$bench_work/strace.txt" >/dev/null 2>&1
    local n
    n="$(awk '$NF == "total" {print $(NF-2)}' "$bench_work/strace.txt")"
    echo "${n:-0}" # strace prints no total when there was no call at all
}
stats() { # median, min and max of one column of numbers
    sort -n | awk '{v[NR]=$1} END {printf "%s (%s-%s)", v[int((NR + 1) / 2)], v[1], v[NR]}'
}

if [ "$tollwick" = --after-soak ]; then
    # The soak's window thread sleeps through its idle time, so every call counted is the
    # sound thread's (the readers have ended with their files).
    QT_QPA_PLATFORM=offscreen "$2" "${3:-pulseaudio}" 45 >"$bench_work/soak.log" 2>&1 &
    pid=$!
    bench_pids+=("$pid")
    until grep -q 'idle now' "$bench_work/soak.log"; do
        kill -0 "$pid" 2>/dev/null || { cat "$bench_work/soak.log"; exit 1; }
        sleep 0.2
    done
    sed 's/^/  /' "$bench_work/soak.log"
    sleep 5
    first="$(count 5)"
    rest="$(for _ in 1 2 3 4 5; do echo $(( $(count 5) / 5 )); done | stats)"
    echo "after the soak: $((first / 5)) system calls a second from 5 to 10 s after the last" \
        "sound, then $rest (median, min-max of 5 windows of 5 s)"
    exit 0
fi
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
