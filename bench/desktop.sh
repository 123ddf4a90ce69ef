# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# Starts a private X server with a window manager for the benchmarks; sourced. With
# bench_desktop=mutter, GNOME's compositor instead, headless, with its Xwayland: the
# program's X display, and its Wayland display as GNOME sets it.
bench_pids=()
bench_work="$(mktemp -d)"
bench_cleanup() {
    for pid in "${bench_pids[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$bench_work"
}
trap bench_cleanup EXIT
bench_mutter() {
    local dir="$bench_work/mutter" bus
    mkdir -p "$dir" && chmod 700 "$dir"
    # Xwayland wants the X sockets' folder writable by all; an Xvfb may have left it 1755.
    [ "$(stat -c %a /tmp/.X11-unix 2>/dev/null || echo 1777)" = 1777 ] || chmod 1777 /tmp/.X11-unix
    dbus-daemon --session --nofork --print-address=1 --address="unix:path=$dir/bus" >"$dir/address" 2>/dev/null &
    bench_pids+=($!)
    for _ in $(seq 100); do [ -s "$dir/address" ] && break; sleep 0.1; done
    bus="$(head -n 1 "$dir/address")"
    env -u DISPLAY -u WAYLAND_DISPLAY HOME="$dir" XDG_RUNTIME_DIR="$dir" DBUS_SESSION_BUS_ADDRESS="$bus" \
        mutter --wayland --headless --virtual-monitor 1280x800 --wayland-display wayland-bench \
        >"$dir/mutter.log" 2>&1 &
    bench_pids+=($!)
    for _ in $(seq 200); do grep -q 'Using public X11 display' "$dir/mutter.log" && break; sleep 0.1; done
    DISPLAY="$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$dir/mutter.log" | head -n 1)"
    XAUTHORITY="$(compgen -G "$dir/.mutter-Xwaylandauth.*" | head -n 1)"
    export DISPLAY XAUTHORITY WAYLAND_DISPLAY="$dir/wayland-bench" XDG_SESSION_TYPE=wayland \
        XDG_CURRENT_DESKTOP=GNOME XDG_RUNTIME_DIR="$bench_work/runtime"
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    unset QT_QPA_PLATFORM
}
bench_x11() {
    exec 3>"$bench_work/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
    bench_pids+=($!)
    exec 3>&-
    for _ in $(seq 100); do [ -s "$bench_work/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n 1 "$bench_work/display")"
    openbox --sm-disable >/dev/null 2>&1 &
    bench_pids+=($!)
}
if [ "${bench_desktop:-x11}" = mutter ]; then bench_mutter; else bench_x11; fi
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
