# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# Installs the Debian packages a purpose needs, and only those that are missing.
# Sourced by the scripts beside it; uses sudo when not run as root.

build_packages="cmake g++ make pkg-config qt6-base-dev qt6-base-private-dev libpulse-dev libsndfile1-dev \
libxcb1-dev libwayland-dev wayland-protocols"
run_packages="qt6-qpa-plugins libpulse0 libsndfile1 fonts-ipafont-gothic fonts-noto-cjk"
test_packages="xvfb openbox xdotool wmctrl x11-utils pulseaudio pulseaudio-utils \
pipewire pipewire-pulse wireplumber dbus-daemon sox clang clang-format e2fsprogs \
libclang-rt-14-dev desktop-file-utils appstream imagemagick strace dpkg-dev file \
dbus at-spi2-core python3-pyatspi"

# The headless Wayland run and the package checks.
test_packages+=" sway wtype grim jq qt6-wayland lintian man-db"

# Input methods that the digit boxes must keep out (fcitx5 and IBus, each with Anthy), and
# a slow disk made with FUSE for the settings file and sound files.
test_packages+=" fcitx5 fcitx5-anthy fcitx5-frontend-qt6 ibus ibus-anthy dbus-x11"
test_packages+=" python3-fusepy libfuse2 fuse"

# GNOME's and KDE's compositors, each headless with Xwayland: mutter; KWin with its Breeze
# title bar, its fake-input protocol for a test client's keys, and python3-gi for its
# screenshot interface.
test_packages+=" mutter xwayland kwin-wayland kwin-style-breeze plasma-wayland-protocols python3-gi"

install_missing() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

build_tollwick() {
    cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$2" -j"$(nproc)"
}
