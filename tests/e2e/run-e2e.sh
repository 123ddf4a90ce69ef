#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# The whole program as a person uses it: the real binary in a real X server with a window
# manager, or natively in a headless Wayland compositor, real keystrokes, the window closed
# through the window manager, and a private sound server whose output is recorded. Each
# scenario has its own home and settings file. Under Wayland only the core scenarios run.
# mutter and kwin run the program as GNOME and KDE start it, QT_QPA_PLATFORM unset, in a
# Wayland compositor with Xwayland; there the core of the core runs.
# Usage: run-e2e.sh TOLLWICK AUDIOCHECK [x11|wayland|mutter|kwin] [FAKEKEYS (kwin)]
set -uo pipefail

tollwick="$1"
audiocheck="$2"
server="${3:-x11}"
fakekeys="${4:-}"
suffix=""
[ "$server" != x11 ] && suffix="-$server"
artifacts="${TOLLWICK_ARTIFACTS:-$(pwd)/artifacts}"
mkdir -p "$artifacts"
work="$(mktemp -d)"
pids=()
passed=0
failed=0

cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    sleep 0.3
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

# Waits until a command succeeds, at most $1 seconds.
wait_for() {
    local seconds="$1"
    shift
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.1
    done
}

# --- the desktop: X server and window manager, or Wayland compositor; sound server ------
give_up() { echo "$1"; echo "0 passed, 1 failed"; exit 1; }

start_x11() {
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -dpi 96 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    display_pid=$!
    exec 3>&-
    wait_for 10 test -s "$work/display" || give_up "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$work/display")"
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    pids+=($!)
    wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
    wait_for 10 wm_ready || give_up "openbox did not start"
}

# sway with no screen and no input devices, drawing in software, so it runs on a machine
# without a GPU. sway refuses to run as root, so there it runs as nobody and the clients
# reach it by the socket's full path. No XWayland: the program must come up natively.
start_wayland() {
    local sway_dir="$work/sway" as_user=()
    mkdir -p "$sway_dir" && chmod 700 "$sway_dir"
    printf '%s\n' 'xwayland disable' 'output HEADLESS-1 resolution 1280x800 position 0 0' \
        >"$sway_dir/sway.conf"
    if [ "$(id -u)" -eq 0 ]; then
        chmod 711 "$work"
        chown -R nobody:nogroup "$sway_dir"
        as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    fi
    env -u DISPLAY -u WAYLAND_DISPLAY HOME="$sway_dir" XDG_RUNTIME_DIR="$sway_dir" \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        "${as_user[@]}" sway -c "$sway_dir/sway.conf" >"$work/sway.log" 2>&1 &
    display_pid=$!
    pids+=($!)
    sway_ready() { compgen -G "$sway_dir/sway-ipc.*.sock" && test -S "$sway_dir/wayland-1"; }
    wait_for 15 sway_ready || { cat "$work/sway.log"; give_up "sway did not start"; }
    unset DISPLAY
    SWAYSOCK="$(compgen -G "$sway_dir/sway-ipc.*.sock" | head -n 1)"
    export SWAYSOCK WAYLAND_DISPLAY="$sway_dir/wayland-1" QT_QPA_PLATFORM=wayland
    export XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    # A virtual keyboard that stays: without it the seat loses its keyboard whenever one
    # wtype ends, and the program misses the first key of the next.
    wtype -s 86400000 -k Shift_L &
    pids+=($!)
}

# Xwayland, started by the compositor, wants the X sockets' folder writable by all, as the
# system makes it; an Xvfb started with the usual umask leaves it 1755.
x11_socket_folder() {
    local folder=/tmp/.X11-unix
    [ -d "$folder" ] || mkdir -m 1777 "$folder" 2>/dev/null || return 0
    [ "$(stat -c %a "$folder")" = 1777 ] && return 0
    [ "$(id -u)" -eq 0 ] && chmod 1777 "$folder" && return 0
    give_up "$folder is not writable by all, as Xwayland needs"
}

# A compositor of GNOME's or KDE's with its own session bus and runtime folder; the
# program's environment as that desktop sets it, and the platform left to the program.
compositor_home() { # compositor_home NAME: makes $work/NAME with a session bus in it
    local dir="$work/$1"
    mkdir -p "$dir" && chmod 700 "$dir"
    dbus-daemon --session --nofork --print-address=1 --address="unix:path=$dir/bus" \
        >"$dir/address" 2>"$dir/dbus.log" &
    pids+=($!)
    wait_for 10 test -s "$dir/address" || give_up "no session bus for $1"
    compositor_bus="$(head -n 1 "$dir/address")"
}
as_desktop() { # as_desktop DESKTOP: the program's environment
    unset QT_QPA_PLATFORM
    export XDG_CURRENT_DESKTOP="$1" XDG_SESSION_TYPE=wayland XDG_RUNTIME_DIR="$work/runtime"
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
}

# mutter as GNOME runs it, headless with one virtual monitor, Xwayland on. window-ops logs
# each attention mark it takes.
start_mutter() {
    local dir="$work/mutter"
    x11_socket_folder
    compositor_home mutter
    env -u DISPLAY -u WAYLAND_DISPLAY HOME="$dir" XDG_RUNTIME_DIR="$dir" \
        DBUS_SESSION_BUS_ADDRESS="$compositor_bus" MUTTER_DEBUG=window-ops \
        mutter --wayland --headless --virtual-monitor 1280x800 --wayland-display wayland-e2e \
        >"$work/mutter.log" 2>&1 &
    display_pid=$!
    pids+=($!)
    mutter_ready() { grep -q 'Using public X11 display' "$work/mutter.log" && test -S "$dir/wayland-e2e"; }
    wait_for 20 mutter_ready || { cat "$work/mutter.log"; give_up "mutter did not start"; }
    DISPLAY="$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$work/mutter.log" | head -n 1)"
    XAUTHORITY="$(compgen -G "$dir/.mutter-Xwaylandauth.*" | head -n 1)"
    export DISPLAY XAUTHORITY WAYLAND_DISPLAY="$dir/wayland-e2e"
    wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
    wait_for 10 wm_ready || give_up "mutter's Xwayland has no window manager"
    as_desktop GNOME
}

# KWin as KDE runs it, with Xwayland. The packaged binary carries a file capability that
# keeps it from starting in a container; a copy of it carries none, and must keep its name.
# It tells the program it starts the X display it made. Keys go through its fake-input
# protocol, from one process for the whole run so that the seat keeps its keyboard.
start_kwin() {
    local dir="$work/kwin"
    [ -x "$fakekeys" ] || give_up "no fake-input client"
    x11_socket_folder
    compositor_home kwin
    cp /usr/bin/kwin_wayland "$dir/kwin_wayland" || give_up "no kwin_wayland"
    printf '#!/bin/sh\necho $$ >"%s"\necho "$DISPLAY" >"%s"\nexec sleep 86400\n' \
        "$dir/started.pid" "$dir/display" >"$dir/started"
    chmod +x "$dir/started"
    env -u DISPLAY -u WAYLAND_DISPLAY HOME="$dir" XDG_RUNTIME_DIR="$dir" \
        DBUS_SESSION_BUS_ADDRESS="$compositor_bus" KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 \
        KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 "$dir/kwin_wayland" --virtual \
        --socket wayland-e2e --width 1280 --height 800 --no-lockscreen --no-global-shortcuts \
        --no-kactivities --xwayland "$dir/started" >"$work/kwin.log" 2>&1 &
    display_pid=$!
    pids+=($!)
    wait_for 20 test -s "$dir/display" || { cat "$work/kwin.log"; give_up "KWin did not start"; }
    pids+=("$(cat "$dir/started.pid")")
    export DISPLAY="$(head -n 1 "$dir/display")" WAYLAND_DISPLAY="$dir/wayland-e2e"
    unset XAUTHORITY
    as_desktop KDE
    coproc KEYS { "$fakekeys" 2>&1; }
    pids+=("$KEYS_PID")
    local reply
    read -r -t 10 reply <&"${KEYS[0]}" && [ "$reply" = ready ] || give_up "fake input: $reply"
}

case "$server" in
x11) start_x11 ;;
wayland) start_wayland ;;
mutter) start_mutter ;;
kwin) start_kwin ;;
*) give_up "unknown display server $server" ;;
esac

mkdir -p "$work/pulse" && chmod 700 "$work/pulse"
HOME="$work/pulse" XDG_RUNTIME_DIR="$work/pulse" pulseaudio --daemonize=no --exit-idle-time=-1 -n \
    --use-pid-file=no --log-level=error \
    --load="module-null-sink sink_name=e2e rate=48000" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$work/pulse/native" \
    >"$work/pulse.log" 2>&1 &
pids+=($!)
export PULSE_SERVER="unix:$work/pulse/native"
wait_for 10 test -S "$work/pulse/native" || { echo "pulseaudio did not start"; echo "0 passed, 1 failed"; exit 1; }

sox -n -r 48000 -c 1 -b 16 "$work/notice.wav" synth 0.4 sine 440 vol 0.5
sox -n -r 48000 -c 1 -b 16 "$work/alarm.wav" synth 0.3 sine 880 vol 0.5

# --- assistive technology, started by the scenarios that use it: a private session bus
# and the AT-SPI bus and registry it launches; a11y_env holds what a program needs to join.
a11y_env=()
start_assistive_bus() {
    [ ${#a11y_env[@]} -gt 0 ] && return 0
    mkdir -p "$work/a11y" && chmod 700 "$work/a11y"
    dbus-daemon --session --nofork --print-address=1 --address="unix:path=$work/a11y/bus" \
        >"$work/a11y/address" 2>"$work/a11y/dbus.log" &
    pids+=($!)
    wait_for 10 test -s "$work/a11y/address" || return 1
    local bus
    bus="$(head -n 1 "$work/a11y/address")"
    DBUS_SESSION_BUS_ADDRESS="$bus" XDG_RUNTIME_DIR="$work/a11y" \
        /usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/a11y/launcher.log" 2>&1 &
    pids+=($!)
    wait_for 10 env DBUS_SESSION_BUS_ADDRESS="$bus" dbus-send --session --print-reply \
        --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress || return 1
    # Qt joins only when told to, as no desktop setting switches assistive technology on here.
    a11y_env=(DBUS_SESSION_BUS_ADDRESS="$bus" XDG_RUNTIME_DIR="$work/a11y" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1)
}

# --- one scenario's program ------------------------------------------------------------
app_pid=""
app_win=""
home=""

# Per display server: find the program's window, raise it, send keys and text, close it
# through the window manager as its close button does, read its title and size, and take
# a picture of it. Under mutter the window is an X11 client of its Xwayland.
if [ "$server" = x11 ] || [ "$server" = mutter ]; then
    find_window() { xdotool search --onlyvisible --pid "$app_pid" --name 'Tollwick' 2>/dev/null | head -n 1; }
    activate() { xdotool windowactivate --sync "$app_win" >/dev/null 2>&1; }
    keys() { xdotool key --delay 60 "$@"; sleep 0.2; }
    typed() { xdotool type --delay 120 "$1"; sleep 0.2; }
    close_window() { wmctrl -i -c "$app_win"; }
    win_title() { xdotool getwindowname "$app_win"; }
    win_size() { xwininfo -id "$app_win" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }
    # fixed: the size hints give the same minimum and maximum, and the window manager
    # allows no maximizing
    win_fixed() {
        xprop -id "$app_win" _NET_WM_ALLOWED_ACTIONS | sed 's/^/     /'
        xprop -id "$app_win" WM_NORMAL_HINTS | tr -d '\n' | grep -q 'minimum size: 559 by 188.*maximum size: 559 by 188' &&
            ! xprop -id "$app_win" _NET_WM_ALLOWED_ACTIONS | grep -q MAXIMIZE
    }
    if [ "$server" = mutter ]; then
        # with mutter's title bar: the frame it puts the window in
        screenshot() { import -window "$(xwininfo -tree -id "$app_win" | awk '/Parent window id/ {print $4}')" "$1" 2>/dev/null; }
        window_system() { grep -q 'X11 through Xwayland' "$home/stderr.log"; }
    else
        screenshot() { import -window "$app_win" "$1" 2>/dev/null; }
        window_system() { grep -q 'no Wayland compositor' "$home/stderr.log"; }
    fi
elif [ "$server" = kwin ]; then
    # kwin_js CODE: runs CODE in KWin's script engine, where c is the program's window (or
    # undefined) and out(TEXT) prints a line here. Often called in a subshell: each call's
    # name comes from the clock, not from a count.
    kwin_js() {
        local tag="e2e${EPOCHREALTIME/./}"
        local file="$work/kwin/$tag.js"
        local call=(dbus-send --bus="$compositor_bus" --print-reply --dest=org.kde.KWin /Scripting)
        printf '%s\n' "function out(text) { print('$tag ' + text); }" \
            "var c = workspace.clientList().filter(function (w) { return w.pid == $app_pid; })[0];" \
            "$1" "print('$tag.');" >"$file"
        "${call[@]}" org.kde.kwin.Scripting.loadScript string:"$file" string:"$tag" >/dev/null &&
            "${call[@]}" org.kde.kwin.Scripting.start >/dev/null || return 1
        wait_for 5 grep -qx "js: $tag\." "$work/kwin.log"
        "${call[@]}" org.kde.kwin.Scripting.unloadScript string:"$tag" >/dev/null
        sed -n "s/^js: $tag //p" "$work/kwin.log"
    }
    kwin_node() {
        kwin_js "if (c) out(JSON.stringify({id: c.internalId.toString(),
            kind: c.toString().replace(/\(.*/, ''), caption: c.caption,
            width: c.bufferGeometry.width, height: c.bufferGeometry.height,
            minimized: c.minimized, active: c.active, demandsAttention: c.demandsAttention,
            noBorder: c.noBorder, maximizable: c.maximizable, resizeable: c.resizeable}));"
    }
    find_window() { kwin_node | jq -r '.id // empty' 2>/dev/null; }
    activate() { kwin_js 'workspace.activeClient = c;' >/dev/null; }
    keycode() { # the Linux key code of an xdotool key name
        case "$1" in
        0) echo 11 ;;
        [1-9]) echo $(($1 + 1)) ;;
        space) echo 57 ;;
        Tab) echo 15 ;;
        shift+Tab) echo 42+15 ;;
        Return) echo 28 ;;
        KP_Enter) echo 96 ;;
        *) echo "     no key code for $1" >&2; return 1 ;;
        esac
    }
    press() {
        local code reply
        code="$(keycode "$1")" || return 1
        echo "$code" >&"${KEYS[1]}"
        read -r -t 5 reply <&"${KEYS[0]}" && [ "$reply" = ok ]
    }
    keys() { # 60 ms apart as with xdotool
        for key in "$@"; do press "$key" || return 1; sleep 0.06; done
        sleep 0.2
    }
    typed() {
        local i
        for ((i = 0; i < ${#1}; i++)); do press "${1:i:1}" || return 1; sleep 0.12; done
        sleep 0.2
    }
    close_window() { kwin_js 'c.closeWindow();' >/dev/null; }
    win_title() { kwin_node | jq -r .caption; }
    win_size() { kwin_node | jq -r '"\(.width)x\(.height)"'; }
    win_fixed() {
        kwin_node | jq -c '{kind, maximizable, resizeable, noBorder}' | sed 's/^/     /'
        kwin_node | jq -e '(.maximizable or .resizeable) | not' >/dev/null
    }
    # with KWin's title bar and shadow, through its screenshot interface
    screenshot() {
        DBUS_SESSION_BUS_ADDRESS="$compositor_bus" /usr/bin/python3 \
            "$(dirname "$0")/kwin-screenshot.py" "$app_win" "$1"
    }
    # a Wayland client with the title bar drawn by KWin, nothing of it on the X display
    window_system() {
        grep -q 'the Wayland compositor draws the title bars' "$home/stderr.log" &&
            kwin_node | jq -e '.kind == "KWin::XdgToplevelWindow" and (.noBorder | not)' >/dev/null &&
            [ -z "$(xdotool search --pid "$app_pid" --name Tollwick 2>/dev/null)" ]
    }
else
    sway_node() { swaymsg -t get_tree | jq -c --argjson pid "$app_pid" 'first(.. | objects | select(.pid? == $pid))'; }
    find_window() { sway_node | jq -r '.id // empty' 2>/dev/null; }
    activate() { swaymsg "[con_id=$app_win] focus" >/dev/null; }
    keys() { # one virtual keyboard for all keys, 60 ms apart as with xdotool
        local args=()
        for key in "$@"; do args+=(-k "$key" -s 60); done
        wtype "${args[@]}"
        sleep 0.2
    }
    typed() { wtype -d 120 "$1"; sleep 0.2; }
    close_window() { swaymsg "[con_id=$app_win] kill" >/dev/null; }
    win_title() { sway_node | jq -r .name; }
    win_size() { sway_node | jq -r '"\(.geometry.width)x\(.geometry.height)"'; }
    # fixed: sway floats it, and after a resize command the program still draws 559 x 188
    win_fixed() {
        swaymsg "[con_id=$app_win] resize set 800 400" >/dev/null 2>&1
        sleep 0.5
        sway_node | jq -c '{type, app_id, geometry}'
        [ "$(sway_node | jq -r '"\(.type) \(.app_id)"')" = "floating_con io.github.tollwick.Tollwick" ] &&
            [ "$(win_size)" = 559x188 ]
    }
    window_system() { grep -q 'as QT_QPA_PLATFORM says' "$home/stderr.log"; }
    screenshot() {
        grim -g "$(sway_node | jq -r '"\(.rect.x + .window_rect.x),\(.rect.y + .window_rect.y) \(.geometry.width)x\(.geometry.height)"')" "$1"
    }
fi

start_app() { # start_app NAME [settings file content]
    home="$work/$1"
    mkdir -p "$home/.config/tollwick"
    [ $# -ge 2 ] && printf '%b' "$2" >"$home/.config/tollwick/tollwk.ini"
    HOME="$home" XDG_CONFIG_HOME="$home/.config" "$tollwick" >"$home/stdout.log" 2>"$home/stderr.log" &
    app_pid=$!
    pids+=("$app_pid")
    app_win=""
    local deadline=$((SECONDS + 15))
    while [ -z "$app_win" ] && [ "$SECONDS" -lt "$deadline" ]; do
        app_win="$(find_window)"
        [ -z "$app_win" ] && sleep 0.1
    done
    [ -n "$app_win" ] || return 1
    activate
    sleep 0.3
}

# Waits until the program has ended, at most $1 seconds.
ends_within() {
    local deadline=$((SECONDS + $1))
    while kill -0 "$app_pid" 2>/dev/null; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.1
    done
}

close_app() {
    close_window
    ends_within 15 || return 1
    wait "$app_pid"
}

ini() { tr -d '\r' <"$home/.config/tollwick/tollwk.ini"; }
ini_has() { ini | grep -qxF -- "$1"; }
# in_section SECTION LINE...: each line stands in that section, in any order. A key a
# save adds goes to the end of its section, so a list that grows after the timings were
# saved has its new entries after them.
in_section() {
    local section="$1" line
    shift
    for line in "$@"; do
        ini | awk -v s="[$section]" -v l="$line" '/^\[/ {inside = ($0 == s)} inside && $0 == l {found = 1} END {exit !found}' || return 1
    done
}

scenario() { # scenario NAME FUNCTION
    echo "--- $1"
    if "$2"; then
        passed=$((passed + 1))
        echo "ok   $1"
    else
        failed=$((failed + 1))
        echo "FAIL $1"
        [ -n "$home" ] && [ -f "$home/.config/tollwick/tollwk.ini" ] && sed 's/^/     | /' "$home/.config/tollwick/tollwk.ini"
    fi
    [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null
    app_pid=""
}

# --- scenarios -------------------------------------------------------------------------
first_start() {
    start_app first || return 1
    [ "$(win_title)" = "Tollwick ver1.0" ] || return 1
    [ "$(win_size)" = 559x188 ] || return 1
    screenshot "$artifacts/window-96dpi$suffix.png"
    sed 's/^/     /' "$home/stderr.log"
    window_system || return 1
    win_fixed || return 1
    [ ! -e "$home/.config/tollwick/tollwk.ini" ] || return 1
    close_app || return 1
    [ "$(cat "$home/.config/tollwick/tollwk.ini")" = "$(printf '[time]\r\nCount=0\r\n[FileName]\r\nFileName=\r\n[time2]\r\nCount=0\r\nbyou=5\r\nhun=3\r\n[FileName2]\r\nFileName=\r')" ]
}

keyboard_only() {
    start_app keyboard || return 1
    typed 0730 && keys space
    typed 1200 && keys Return
    keys Tab Tab Tab Tab Tab Tab Tab # from the left hour box to the right one
    typed 0600 && keys space
    typed 0615 && keys KP_Enter
    close_app || return 1
    in_section time Count=2 time0=07:30 time1=12:00 &&
        in_section time2 Count=2 time0=06:00 time1=06:15 byou=5
}

wrong_hour_and_minute() {
    start_app wrong || return 1
    typed 24 # emptied at once, focus stays
    typed 23
    typed 60 # emptied at once
    typed 59 && keys space
    close_app || return 1
    ini_has 'Count=1' && ini_has 'time0=23:59' && ! ini | grep -q 'time1='
}

delete_and_sorts() {
    start_app lists '[time]\r\nCount=3\r\ntime0=12:00\r\ntime1=07:30\r\ntime2=23:59\r\n' || return 1
    keys Tab Tab Tab Down Up # into the list, select its first entry
    keys Tab space        # delete it
    keys Tab space        # ascending
    keys Tab space        # descending
    close_app || return 1
    ini | tr '\n' ' ' | grep -qF '[time] Count=2 time0=23:59 time1=07:30 time2=23:59'
}

tab_cycle() {
    start_app cycle || return 1
    keys Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab # to the minutes box
    typed 10
    keys Tab && typed 2 # the seconds box
    keys Tab Tab        # the STOP button, then round to the left hour box
    typed 0900 && keys space
    close_app || return 1
    ini_has 'hun=10' && ini_has 'byou=2' && ini_has 'time0=09:00'
}

hand_edited() {
    start_app hand '; my alarms\n[ TIME ]\nCOUNT = 2 \ntime0=25:99\ntime1 = 06:00\n[time2]\ncount=x\ntime0=07:00\nbyou=abc\nhun=99999\n[FileName]\nFileName="/path with blanks /a.wav "\n[Extra]\nkeep=me\n' || return 1
    close_app || return 1
    ini_has '; my alarms' && ini_has 'COUNT=2' && ini_has 'time0=25:99' && ini_has 'time1=06:00' &&
        ini_has 'count=0' && ini_has 'byou=0' && ini_has 'hun=99999' && ini_has 'keep=me' &&
        ini_has 'FileName="/path with blanks /a.wav "'
}

sigterm_saves() {
    start_app sigterm || return 1
    typed 0800 && keys space
    kill -TERM "$app_pid"
    ends_within 10 || return 1
    wait "$app_pid" || return 1
    ini_has 'time0=08:00'
}

# Two entries typed, then the program ends without a close: the file is whole and holds
# both, since every change is saved within a second of it.
two_entries_typed() {
    typed 0730 && keys space
    typed 0645 && keys space
    sleep 1.5
}
whole_with_both_entries() {
    ini | tr '\n' ' ' | grep -qF '[time] Count=2 time0=07:30 time1=06:45 [FileName] FileName= [time2] Count=0 byou=5 hun=3 [FileName2] FileName= '
}

killed_keeps_changes() {
    start_app killed || return 1
    two_entries_typed
    kill -KILL "$app_pid"
    wait "$app_pid" 2>/dev/null
    whole_with_both_entries
}

# The display server itself dies: Qt ends the program at once, with no close.
display_dies_keeps_changes() {
    start_app display-dies || return 1
    two_entries_typed
    kill -KILL "$display_pid"
    ends_within 15 || return 1
    wait "$app_pid"
    echo "     the program ended with status $?: $(tail -n 1 "$home/stderr.log")"
    whole_with_both_entries && [ -z "$(find "$home/.config/tollwick" -name '.*')" ]
}

unsaved_close() {
    start_app unsaved || return 1
    mkdir "$home/.config/tollwick/tollwk.ini" # a folder takes the file's place meanwhile
    close_app
    local status=$?
    ! kill -0 "$app_pid" 2>/dev/null && [ "$status" -eq 1 ] &&
        grep -q 'settings not saved' "$home/stderr.log"
}

double_size() {
    home="$work/double"
    mkdir -p "$home"
    HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_SCALE_FACTOR=2 "$tollwick" >/dev/null 2>&1 &
    app_pid=$!
    pids+=("$app_pid")
    wait_for 15 bash -c "xdotool search --onlyvisible --pid $app_pid --name Tollwick" || return 1
    app_win="$(xdotool search --onlyvisible --pid "$app_pid" --name Tollwick | head -n 1)"
    sleep 0.5
    import -window "$app_win" "$artifacts/window-192dpi.png" 2>/dev/null
    xwininfo -id "$app_win" | grep -q 'Width: 1118' && xwininfo -id "$app_win" | grep -q 'Height: 376' &&
        close_app
}

# A notice and a ring in the real minute after start: the notice sounds once at the first
# tick, the ring every 2 s after it until STOP, then silence.
sound_and_ring() {
    while [ "$(date +%S | sed 's/^0//')" -lt 3 ] || [ "$(date +%S | sed 's/^0//')" -gt 45 ]; do sleep 1; done
    local due
    due="$(date -d '+1 minute' +%H:%M)"
    parec --device=e2e.monitor --raw --format=s16le --rate=48000 --channels=1 --latency-msec=10 \
        >"$work/recording.raw" &
    local rec=$!
    pids+=("$rec")
    start_app sound "[time]\r\nCount=1\r\ntime0=$due\r\n[FileName]\r\nFileName=$work/notice.wav\r\n[time2]\r\nCount=1\r\ntime0=$due\r\nbyou=2\r\nhun=3\r\n[FileName2]\r\nFileName=$work/alarm.wav\r\n" || return 1
    wait_for 80 bash -c "[ \"\$(xdotool getwindowname $app_win)\" = '$due' ]" || return 1
    sleep 7.2
    keys Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab # to STOP
    keys space
    sleep 5
    kill "$rec"
    wait "$rec" 2>/dev/null
    close_app || return 1
    "$audiocheck" "$work/recording.raw" | tee "$work/bursts.txt" | sed 's/^/     /'
    # the notice, then three or four rings 2 s apart, then nothing in the last 5 s
    local count
    count="$(awk '/^bursts/ {print $2}' "$work/bursts.txt")"
    [ "$count" -ge 4 ] && [ "$count" -le 5 ] || return 1
    awk '/^burst / {t[n++]=$2} END {for (i=2;i<n;i++) {g=t[i]-t[i-1]; if (g<1800||g>2200) exit 1}}' "$work/bursts.txt"
}

# The notice's sound on a disk that sleeps 3 s in each open and read: after a click on 再生
# the window still answers keys at once (an entry typed and added shows in the list within
# 0.5 s), the sound comes once the disk has answered, and a close while the next play's
# open is stuck saves and takes the window away within 2 s.
slow_disk_sound() {
    local src="$work/slowsrc" mnt="$work/slowmnt"
    mkdir -p "$src" "$mnt"
    cp "$work/notice.wav" "$src/notice.wav"
    printf 'open=3\nread=3\n' >"$work/slowdelays"
    /usr/bin/python3 "$(dirname "$0")/../support/slowfs.py" "$src" "$mnt" \
        --control "$work/slowdelays" >"$work/slowfs.log" 2>&1 &
    local fs=$!
    pids+=("$fs")
    wait_for 10 mountpoint -q "$mnt" || { echo "     no slow disk (needs root and /dev/fuse)"; return 1; }
    local result=1
    slow_disk_steps && result=0
    fusermount -u -z "$mnt"
    return $result
}
slow_disk_steps() {
    parec --device=e2e.monitor --raw --format=s16le --rate=48000 --channels=1 --latency-msec=10 \
        >"$work/slow.raw" &
    local rec=$! rec_start
    rec_start="$(date +%s%N)"
    pids+=("$rec")
    start_app slowdisk "[FileName]\r\nFileName=$work/slowmnt/notice.wav\r\n" || return 1
    local list="-crop 60x90+20+50 +repage"
    import -window "$app_win" $list "$work/list-before.png" 2>/dev/null
    xdotool mousemove --window "$app_win" 168 9 click 1 # 再生 of the notice panel
    local clicked keyed shown=""
    clicked="$(date +%s%N)"
    # 再生 took the focus; back into the hour box, and an entry typed and added
    xdotool mousemove --window "$app_win" 120 60 click 1 key --delay 20 0 7 3 0 Return
    keyed="$(date +%s%N)"
    while [ $(($(date +%s%N) - keyed)) -lt 1000000000 ]; do
        import -window "$app_win" $list "$work/list-after.png" 2>/dev/null
        if ! compare -metric AE "$work/list-before.png" "$work/list-after.png" null: 2>/dev/null; then
            shown="$(date +%s%N)"
            break
        fi
    done
    [ -n "$shown" ] || { echo "     the entry never showed"; return 1; }
    echo "     entry shown $(((shown - keyed) / 1000000)) ms after the last key"
    [ $((shown - keyed)) -le 500000000 ] || return 1
    sleep 8
    kill "$rec"
    wait "$rec" 2>/dev/null
    "$audiocheck" "$work/slow.raw" | tee "$work/slow-bursts.txt" | sed 's/^/     /'
    local count start
    count="$(awk '/^bursts/ {print $2}' "$work/slow-bursts.txt")"
    start="$(awk '/^burst / {print $2; exit}' "$work/slow-bursts.txt")"
    echo "     clicked at $(((clicked - rec_start) / 1000000)) ms of the recording"
    # Heard once, not before the disk's 3 s open and 3 s read.
    [ "$count" -eq 1 ] && [ "$start" -ge $(((clicked - rec_start) / 1000000 + 4000)) ] || return 1
    xdotool mousemove --window "$app_win" 168 9 click 1
    sleep 0.5
    local closing gone
    closing="$(date +%s%N)"
    close_window
    wait_for 2 bash -c "! xdotool search --onlyvisible --pid $app_pid --name Tollwick" &&
        wait_for 2 ini_has 'time0=07:30' || return 1
    gone="$(date +%s%N)"
    echo "     window gone and settings saved $(((gone - closing) / 1000000)) ms after the close"
    # The kernel ends the process only once the disk has answered the read it is in.
    close_app || return 1
    echo "     process ended $((($(date +%s%N) - closing) / 1000000)) ms after the close"
}

# Each navigation key after Tab selects the entry it lands on, also the one that already
# has the focus frame; 削除 then deletes it, and nothing is selected afterwards.
list_keys_then_delete() {
    start_app listkeys '[time]\r\nCount=6\r\ntime0=01:00\r\ntime1=02:00\r\ntime2=03:00\r\ntime3=04:00\r\ntime4=05:00\r\ntime5=06:00\r\n' || return 1
    keys Tab Tab Tab Home Tab space      # 01:00
    keys shift+Tab End Tab space         # 06:00
    keys shift+Tab Down Tab space        # nothing selected, so the second: 03:00
    keys shift+Tab Next Tab space        # page down to the last: 05:00
    keys shift+Tab Up Tab space          # the first again: 02:00
    keys shift+Tab Tab space             # nothing selected: nothing deleted
    close_app || return 1
    ini | tr '\n' ' ' | grep -qF '[time] Count=1 time0=04:00 '
}

# A screen reader's view over AT-SPI: roles and names, entries, and the list's events.
screen_reader() {
    start_assistive_bus || { echo "     no AT-SPI bus"; return 1; }
    home="$work/a11y-app"
    mkdir -p "$home/.config/tollwick"
    printf '[time]\r\nCount=2\r\ntime0=12:00\r\ntime1=07:30\r\n' >"$home/.config/tollwick/tollwk.ini"
    env "${a11y_env[@]}" HOME="$home" XDG_CONFIG_HOME="$home/.config" "$tollwick" \
        >"$home/stdout.log" 2>"$home/stderr.log" &
    app_pid=$!
    pids+=("$app_pid")
    wait_for 15 bash -c "xdotool search --onlyvisible --pid $app_pid --name Tollwick" || return 1
    app_win="$(xdotool search --onlyvisible --pid "$app_pid" --name Tollwick | head -n 1)"
    xdotool windowactivate --sync "$app_win" >/dev/null 2>&1
    sleep 1
    env "${a11y_env[@]}" /usr/bin/python3 "$(dirname "$0")/accessibility.py" 2>/dev/null |
        sed 's/^/     /' | tee "$artifacts/accessible-tree.txt"
    [ "${PIPESTATUS[0]}" -eq 0 ] && close_app
}

# A ring asks for attention while the window is minimized, without raising it, and STOP,
# pressed without activating the window, ends the request.
# How each display server marks a window that asks for attention. X11: the window is
# minimized, and one mark, the EWMH demands-attention state, comes and goes with the ring,
# the window left minimized; an urgency hint besides would be a second request (gnome-shell
# shows a notification for each), so there is none, and mutter logs one mark. Wayland: a
# second program window takes the focus, the compositor marks ours (KWin: minimized too),
# and the mark ends when ours is focused again, where STOP is pressed.
if [ "$server" = x11 ] || [ "$server" = mutter ]; then
    hints() { xprop -id "$app_win" _NET_WM_STATE WM_HINTS | tr '\n\t' '  '; }
    asking() { hints | grep -q DEMANDS_ATTENTION || hints | grep -q 'urgency hint bit is set'; }
    asking_fully() {
        hints | grep -q DEMANDS_ATTENTION && ! hints | grep -q 'urgency hint bit is set' || return 1
        [ "$server" = mutter ] || return 0
        local marks
        marks="$(grep -c "Marking $(printf '0x%x' "$app_win") as needing attention" "$work/mutter.log")"
        echo "     mutter took $marks attention mark(s)"
        [ "$marks" -eq 1 ]
    }
    look_away() { xdotool windowminimize --sync "$app_win"; }
    still_away() { hints | grep -q _NET_WM_STATE_HIDDEN; } # not raised
    stop_ring() { xdotool key --window "$app_win" space; }
    come_back() { xdotool windowactivate --sync "$app_win" >/dev/null 2>&1; }
elif [ "$server" = kwin ]; then
    hints() { kwin_node | jq -c '{demandsAttention, minimized, active}'; }
    asking() { kwin_node | jq -e .demandsAttention >/dev/null; }
    asking_fully() { asking; }
    look_away() {
        HOME="$work/other" XDG_CONFIG_HOME="$work/other/.config" "$tollwick" >/dev/null 2>&1 &
        local other=$!
        pids+=("$other")
        other_active() { kwin_js "workspace.clientList().forEach(function (w) {
            if (w.pid == $other && w.active) out('active'); });" | grep -q active; }
        wait_for 15 other_active || return 1
        kwin_js 'c.minimized = true;' >/dev/null
        wait_for 5 still_away
    }
    still_away() { kwin_node | jq -e '.minimized and (.active | not)' >/dev/null; }
    stop_ring() { activate && sleep 0.3 && keys space; }
    come_back() { :; }
else
    hints() { sway_node | jq -c '{urgent, focused}'; }
    asking() { sway_node | jq -e .urgent >/dev/null; }
    asking_fully() { asking; }
    look_away() {
        HOME="$work/other" XDG_CONFIG_HOME="$work/other/.config" "$tollwick" >/dev/null 2>&1 &
        pids+=($!)
        wait_for 15 bash -c "swaymsg -t get_tree | jq -e --argjson pid $! 'any(.. | objects; .pid? == \$pid and .focused)'"
    }
    still_away() { sway_node | jq -e '.focused | not' >/dev/null; } # no focus taken
    stop_ring() { activate && sleep 0.3 && keys space; }
    come_back() { :; }
fi

attention_while_ringing() {
    while [ "$(date +%S | sed 's/^0//')" -lt 3 ] || [ "$(date +%S | sed 's/^0//')" -gt 45 ]; do sleep 1; done
    local due
    due="$(date -d '+1 minute' +%H:%M)"
    start_app attention "[time2]\r\nCount=1\r\ntime0=$due\r\nbyou=2\r\nhun=3\r\n[FileName2]\r\nFileName=$work/alarm.wav\r\n" || return 1
    keys Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab # to STOP
    look_away || return 1
    asking && return 1
    wait_for 80 asking || return 1
    sleep 0.3
    echo "     ringing: $(hints)"
    asking_fully && still_away || return 1
    stop_ring
    sleep 1
    echo "     after STOP: $(hints)"
    ! asking || return 1
    [ "$server" = wayland ] || [ "$server" = kwin ] || still_away || return 1
    come_back
    close_app
}

# The window system the program chooses under mutter, which draws no title bars for Wayland
# clients. Each row: what the user set, what the log says, and whether the window comes up
# on the X server (Xwayland) or natively on Wayland.
started_with() { # started_with NAME VAR=VALUE... [-- ARGUMENT...]: no window awaited
    home="$work/$1"
    shift
    mkdir -p "$home"
    local env=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do env+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    env HOME="$home" XDG_CONFIG_HOME="$home/.config" "${env[@]}" "$tollwick" "$@" \
        >"$home/stdout.log" 2>"$home/stderr.log" &
    app_pid=$!
    pids+=("$app_pid")
}
said() { grep -qF "$1" "$home/stderr.log"; }
stop_app() { kill -9 "$app_pid" 2>/dev/null; wait "$app_pid" 2>/dev/null; }
on_x11() { [ -n "$(find_window)" ]; }
ms_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN {printf "%d", (b - a) * 1000}'; }
window_system_rows() {
    local name env args expected x11 ok=0
    while IFS='|' read -r name env args expected x11; do
        # shellcheck disable=SC2086 # the fields are lists
        started_with "choice-$name" $env -- $args
        if [ "$x11" = yes ]; then
            came_up() { wait_for 10 on_x11; }
        else # natively: up and running, and nothing of it on the X server
            came_up() { sleep 1.5 && kill -0 "$app_pid" && ! on_x11; }
        fi
        if wait_for 10 said "$expected" && came_up; then
            echo "     ok   $name: $(cat "$home/stderr.log")"
        else
            echo "     FAIL $name: $(cat "$home/stderr.log")"
            ok=1
        fi
        stop_app
    done <<'ROWS'
QT_QPA_PLATFORM=wayland|QT_QPA_PLATFORM=wayland||wayland, as QT_QPA_PLATFORM says|no
QT_QPA_PLATFORM=xcb|QT_QPA_PLATFORM=xcb||xcb, as QT_QPA_PLATFORM says|yes
-platform wayland||-platform wayland|wayland, as -platform says|no
no X server|DISPLAY=||there is no X server|no
ROWS
    # The compositor stopped: no answer within the program's second of patience, and Qt's
    # own choice then. One that answers late, within it: through Xwayland all the same.
    local began waited
    kill -STOP "$display_pid"
    began=$EPOCHREALTIME
    started_with choice-stopped
    wait_for 10 said 'did not answer within 1000 ms'
    waited="$(ms_since "$began")"
    kill -CONT "$display_pid"
    echo "     stopped compositor: given up after $waited ms: $(cat "$home/stderr.log")"
    [ "$waited" -ge 1000 ] && [ "$waited" -le 3000 ] || ok=1
    stop_app
    kill -STOP "$display_pid"
    started_with choice-late
    sleep 0.5
    kill -CONT "$display_pid"
    if wait_for 10 said 'X11 through Xwayland' && wait_for 10 on_x11; then
        echo "     ok   an answer after 0.5 s: $(cat "$home/stderr.log")"
    else
        echo "     FAIL an answer after 0.5 s: $(cat "$home/stderr.log")"
        ok=1
    fi
    stop_app
    return $ok
}

# --- input methods, started by the scenarios that use them, each with a session bus of its
# own that starts no services (an input method that did not come up must not be stood in
# for by one the bus launches), and Anthy as its one Japanese input method. im_on switches
# it on for the focused input context and im_is_on asks whether it is.
start_input_method() { # start_input_method fcitx|ibus, then im_env holds what joins it
    local dir="$work/input-method-$1"
    mkdir -p "$dir/config" && chmod 700 "$dir"
    printf '%s\n' '<busconfig><type>session</type>' "<listen>unix:path=$dir/bus</listen>" \
        '<policy context="default"><allow send_destination="*" eavesdrop="true"/>' \
        '<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>' >"$dir/bus.conf"
    dbus-daemon --config-file="$dir/bus.conf" --nofork --print-address=1 >"$dir/address" \
        2>"$dir/dbus.log" &
    pids+=($!)
    wait_for 10 test -s "$dir/address" || return 1
    local bus
    bus="$(head -n 1 "$dir/address")"
    local env=(DBUS_SESSION_BUS_ADDRESS="$bus" HOME="$dir" XDG_CONFIG_HOME="$dir/config"
               XDG_CACHE_HOME="$dir/cache" XDG_RUNTIME_DIR="$dir")
    if [ "$1" = fcitx ]; then
        # The keyboard layout is the state "off", Anthy the one it switches on to.
        mkdir -p "$dir/config/fcitx5"
        printf '%s\n' '[Groups/0]' 'Name=Default' 'Default Layout=us' 'DefaultIM=anthy' \
            '[Groups/0/Items/0]' 'Name=keyboard-us' '[Groups/0/Items/1]' 'Name=anthy' \
            '[GroupOrder]' '0=Default' >"$dir/config/fcitx5/profile"
        # Only the D-Bus front end that Qt's plugin talks to: no X11, Wayland or panel.
        env "${env[@]}" fcitx5 --disable=all --enable=dbus,dbusfrontend,keyboard,anthy \
            >"$dir/fcitx5.log" 2>&1 &
        pids+=($!)
        wait_for 10 env "${env[@]}" fcitx5-remote || return 1
        im_on() { fcitx5-remote -o; }
        im_is_on() { [ "$(fcitx5-remote)" = 2 ] && [ "$(fcitx5-remote -n)" = anthy ]; }
        im_env=(DBUS_SESSION_BUS_ADDRESS="$bus" QT_IM_MODULE=fcitx)
    else
        # IBus Anthy starts in its Latin mode unless told otherwise; its engine is a script
        # that needs the system's python3 with GObject bindings, whatever else is on the PATH.
        mkdir -p "$dir/config/glib-2.0/settings"
        printf '%s\n' '[org/freedesktop/ibus/engine/anthy/common]' 'input-mode=0' \
            >"$dir/config/glib-2.0/settings/keyfile"
        env "${env[@]}" GSETTINGS_BACKEND=keyfile PATH="/usr/bin:/bin:$PATH" ibus-daemon \
            --panel=disable --emoji-extension=disable --config=disable --cache=none \
            --address="unix:path=$dir/ibus" >"$dir/ibus.log" 2>&1 &
        pids+=($!)
        ibus_address() { env "${env[@]}" ibus address 2>/dev/null | grep -q '^unix:'; }
        wait_for 10 ibus_address || return 1
        im_on() { ibus engine anthy || :; } # fails even when it succeeds (1.5.27)
        # The engine is a process of its own, started with the first choice of it; keys
        # that come before it has joined the daemon's bus pass through untouched.
        im_is_on() {
            [ "$(ibus engine)" = anthy ] &&
                dbus-send --address="$IBUS_ADDRESS" --print-reply --dest=org.freedesktop.DBus \
                    /org/freedesktop/DBus org.freedesktop.DBus.ListNames |
                grep -q '"org.freedesktop.IBus.Anthy"'
        }
        # Qt's plugin reads the daemon's address file, not IBUS_ADDRESS alone; the tool
        # reads the variable.
        im_env=(DBUS_SESSION_BUS_ADDRESS="$bus" IBUS_ADDRESS="$(env "${env[@]}" ibus address)"
                IBUS_ADDRESS_FILE="$(compgen -G "$dir/config/ibus/bus/*" | head -n 1)"
                QT_IM_MODULE=ibus)
    fi
}

# A click at a point of the window, where the keyboard cannot go: the sound file boxes.
# sway's headless seat has no mouse, so a virtual one is made before the program starts,
# and stays, so that the program keeps its pointer between clicks.
if [ "$server" = x11 ]; then
    mouse() { :; }
    click() { xdotool mousemove --window "$app_win" "$1" "$2" click 1; sleep 0.3; }
else
    mouse() {
        [ -n "${POINTER_PID:-}" ] && return 0
        coproc POINTER { /usr/bin/python3 "$(dirname "$0")/pointer.py" 1280 800 2>&1; }
        pids+=("$POINTER_PID")
        local reply
        read -r -t 10 reply <&"${POINTER[0]}" && [ "$reply" = ready ] || { echo "     $reply"; return 1; }
    }
    click() {
        local x y reply
        read -r x y < <(sway_node | jq -r '"\(.rect.x + .window_rect.x) \(.rect.y + .window_rect.y)"')
        echo "$((x + $1)) $((y + $2))" >&"${POINTER[1]}"
        read -r -t 5 reply <&"${POINTER[0]}"
        sleep 0.3
    }
fi
in_section() { ini | awk -v s="[$1]" -v kv="$2" '/^\[/ {in_s = $0 == s} in_s && $0 == kv {found = 1} END {exit !found}'; }

# With a Japanese input method switched on, the sound file boxes compose (a, Return gives
# あ) and the hour, minute and seconds boxes take the keys as they are: four digits and
# Space add an entry in each panel, and the seconds box takes its digit (the file says 9).
# The sound file box composes again after them.
typing_with_input_method() { # typing_with_input_method fcitx|ibus
    start_input_method "$1" || { echo "     $1 did not start"; return 1; }
    local -x "${im_env[@]}" # for the program and the input method's own tools
    mouse || return 1
    start_app "im-$1" '[time2]\r\nbyou=9\r\n' || return 1
    click 100 25 # Sname(0)
    im_on && wait_for 10 im_is_on || { echo "     $1 not switched on"; return 1; }
    sleep 0.5 # the engine takes the input context it was switched on for
    typed a && keys Return
    click 120 60 # time1(0)
    screenshot "$artifacts/input-method-$1$suffix.png"
    typed 0730 && keys space
    keys Tab Tab Tab Tab Tab Tab Tab # to the right hour box
    typed 0645 && keys space
    keys Tab Tab Tab Tab Tab Tab Tab Tab # to the seconds box
    typed 5
    click 292 25 # Sname(1)
    typed ka && keys Return
    close_app || return 1
    in_section time 'time0=07:30' && in_section time2 'time0=06:45' && in_section time2 'byou=5' &&
        in_section FileName 'FileName=あ' && in_section FileName2 'FileName=か'
}
fcitx_and_anthy() { typing_with_input_method fcitx; }
ibus_and_anthy() { typing_with_input_method ibus; }

scenario "first start without a settings file" first_start
scenario "typing times into both panels with the keyboard only" keyboard_only
# GNOME's and KDE's compositors: the core of the core, and under mutter the choice itself.
if [ "$server" = mutter ] || [ "$server" = kwin ]; then
    scenario "a ring asks for attention, STOP withdraws it" attention_while_ringing
    [ "$server" = mutter ] && scenario "the window system: the user's choice, no X server, a late compositor" window_system_rows
    echo "e2e ($server): $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
fi
scenario "a wrong hour and a wrong minute are emptied" wrong_hour_and_minute
scenario "delete and both sorts reached by Tab" delete_and_sorts
scenario "the whole tab cycle, timings saved" tab_cycle
scenario "a hand-edited file with odd values" hand_edited
scenario "SIGTERM saves the settings" sigterm_saves
scenario "a kill keeps what was typed 1.5 s before" killed_keeps_changes
scenario "a ring asks for attention, STOP withdraws it" attention_while_ringing
scenario "digits typed with fcitx5 and Anthy switched on" fcitx_and_anthy
# The core scenarios above run under both display servers; those below under X11 only.
if [ "$server" = wayland ]; then
    scenario "the compositor dies: what was typed is kept" display_dies_keeps_changes
    echo "e2e ($server): $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
fi
scenario "a close that cannot save ends with status 1 and says why" unsaved_close
scenario "twice the size at scale factor 2" double_size
scenario "a notice and a ring with STOP, heard" sound_and_ring
scenario "a sound on a slow disk holds up neither keys nor the close" slow_disk_sound
scenario "each list key selects where it lands, then 削除" list_keys_then_delete
scenario "what a screen reader is told, and the list's events" screen_reader
scenario "digits typed with IBus and Anthy switched on" ibus_and_anthy
# Last: it ends the display server.
scenario "the X server dies: what was typed is kept" display_dies_keeps_changes

echo "e2e ($server): $passed passed, $failed failed"
[ "$failed" -eq 0 ]
