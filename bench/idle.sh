#!/usr/bin/env bash
# System calls of an idle Tollwick between two minute ticks: 60 s minimized, then 10 s
# focused, counted with strace. Usage: bench/idle.sh path/to/tollwick
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

count() { # count SECONDS
    timeout -s INT "$1" strace -c -f -p "$pid" -o "$bench_work/strace.txt" >/dev/null 2>&1
    awk '$NF == "total" {print $(NF-2)}' "$bench_work/strace.txt"
}
xdotool windowminimize --sync "$win"
sleep 1
minimized="$(count 50)"
xdotool windowactivate --sync "$win"
sleep 1
focused="$(count 5)"
cpu="$(awk '{print $14 + $15}' "/proc/$pid/stat")"
echo "minimized: ${minimized:-0} system calls in 50 s ($(( ${minimized:-0} * 60 / 50 )) a minute)"
echo "focused:   ${focused:-0} system calls in 5 s ($(( ${focused:-0} / 5 )) a second, the text cursor blinking)"
echo "CPU ticks used since start: $cpu"
kill "$pid"
