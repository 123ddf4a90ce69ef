# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# Starts a private X server with a window manager for the benchmarks; sourced.
bench_pids=()
bench_work="$(mktemp -d)"
bench_cleanup() {
    for pid in "${bench_pids[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$bench_work"
}
trap bench_cleanup EXIT
exec 3>"$bench_work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
bench_pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$bench_work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$bench_work/display")"
openbox --sm-disable >/dev/null 2>&1 &
bench_pids+=($!)
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.1; done

# full_settings FILE: a settings file with 32767 entries in each list.
full_settings() {
    {
        printf '[time]\r\nCount=32767\r\n'
        for i in $(seq 0 32766); do printf 'time%d=%02d:%02d\r\n' "$i" $((i % 24)) $((i % 60)); done
        printf '[FileName]\r\nFileName=\r\n[time2]\r\nCount=32767\r\n'
        for i in $(seq 0 32766); do printf 'time%d=%02d:%02d\r\n' "$i" $((i % 24)) $((i % 60)); done
        printf 'byou=5\r\nhun=3\r\n[FileName2]\r\nFileName=\r\n'
    } >"$1"
}
