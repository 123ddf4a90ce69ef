#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# Checks that the READMEs, their screenshot and their commands are sound; installs into a
# staging folder and validates the desktop entry, the AppStream data and the manual page;
# builds the Debian package and checks its control fields, lintian's verdict and that no
# build path is left in it; builds it a second time from the same sources in another folder
# and compares the two; as root, installs the package with apt, starts the program from PATH
# under Xvfb, purges it and checks that nothing is left.
# Usage: check-install.sh BUILD_FOLDER
set -uo pipefail
build="$(cd "$1" && pwd)"
source_dir="$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")"
stage="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$stage"
}
trap cleanup EXIT
passed=0
failed=0
skipped=0
check() {
    local name="$1"
    shift
    if "$@" >"$stage/out.txt" 2>&1; then
        passed=$((passed + 1))
        echo "ok   $name"
    else
        failed=$((failed + 1))
        echo "FAIL $name"
        sed 's/^/     /' "$stage/out.txt"
    fi
}
skip() {
    skipped=$((skipped + 1))
    echo "skip $1"
}
no_output() { out="$("$@" 2>&1)"; echo "$out"; [ -z "$out" ]; }
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.1
    done
}

# --- the installed tree --------------------------------------------------------------------
id="io.github.tollwick.Tollwick"
DESTDIR="$stage/root" cmake --install "$build" --prefix /usr >/dev/null
root="$stage/root/usr"
check "binary installed" test -x "$root/bin/tollwick"
check "desktop entry installed" test -f "$root/share/applications/$id.desktop"
check "icon 16x16" test -f "$root/share/icons/hicolor/16x16/apps/$id.png"
check "icon 32x32" test -f "$root/share/icons/hicolor/32x32/apps/$id.png"
check "icon scalable" test -f "$root/share/icons/hicolor/scalable/apps/$id.svg"
check "metainfo installed" test -f "$root/share/metainfo/$id.metainfo.xml"
check "desktop-file-validate, no error or warning" \
    no_output desktop-file-validate "$root/share/applications/$id.desktop"
check "appstreamcli validate" appstreamcli validate --no-net --explain \
    "$root/share/metainfo/$id.metainfo.xml"
check "16x16 icon is 16x16" bash -c "file '$root/share/icons/hicolor/16x16/apps/$id.png' | grep -q '16 x 16'"
check "manual page formats without warnings" \
    no_output bash -c "LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l '$root/share/man/man1/tollwick.1.gz' 2>&1 >/dev/null"
check "manual page names the settings file and the signals" bash -c \
    "zcat '$root/share/man/man1/tollwick.1.gz' | grep -q tollwk.ini && zcat '$root/share/man/man1/tollwick.1.gz' | grep -q 'SIGTERM.*SIGINT.*SIGHUP'"
check "licence of the copyright file is the metainfo's" bash -c \
    "grep -q '^License: MIT' '$root/share/doc/tollwick/copyright' && grep -q '<project_license>MIT<' '$root/share/metainfo/$id.metainfo.xml' && grep -q '^MIT License' '$source_dir/LICENSE'"

# --- what a newcomer reads first -----------------------------------------------------------
check "README.md, README.ja.md, HACKING.md and the screenshot are in the source tree" \
    test -f "$source_dir/README.md" -a -f "$source_dir/README.ja.md" -a -f "$source_dir/HACKING.md" \
    -a -f "$source_dir/data/screenshot.png"
check "the screenshot is a picture of the window at 96 DPI" bash -c \
    "file '$source_dir/data/screenshot.png' | grep -q 'PNG image data, 559 x 188'"
check "every command in the READMEs names a script, target, label or file that exists" \
    python3 "$source_dir/tests/install/readme_commands.py" "$source_dir" "$build" "$stage/root"

# --- the package ---------------------------------------------------------------------------
# Builds the package in build folder $1 and unpacks it into $2.
make_package() {
    rm -f "$1"/tollwick_*.deb "$1"/tollwick-dbgsym_*.ddeb
    (cd "$1" && cpack -G DEB) >"$stage/cpack.txt" 2>&1 || { cat "$stage/cpack.txt"; return 1; }
    mkdir -p "$2" && dpkg-deb -R "$(ls "$1"/tollwick_*.deb)" "$2"
}
check "cpack built a .deb" make_package "$build" "$stage/deb1"
deb="$(ls "$build"/tollwick_*.deb 2>/dev/null | head -n 1)"
if [ -n "$deb" ]; then
    field() { dpkg-deb -f "$deb" "$1"; }
    check "Depends names the Qt libraries" bash -c "grep -q libqt6widgets6 <<<'$(field Depends)'"
    check "Depends names a Japanese font" bash -c "grep -q fonts-noto-cjk <<<'$(field Depends)'"
    check "Recommends the Wayland plugin" bash -c "grep -q qt6-wayland <<<'$(field Recommends)'"
    check ".deb holds the launcher" bash -c "dpkg-deb -c '$deb' | grep -q 'applications/$id.desktop'"
    check "no maintainer scripts or triggers (no ldconfig)" bash -c \
        "! ls '$stage/deb1/DEBIAN' | grep -qE 'postinst|postrm|preinst|prerm|triggers'"
    check "binaries stripped" bash -c \
        "! find '$stage/deb1' -type f -exec file {} + | grep ELF | grep -q 'not stripped'"
    check "debug symbols in tollwick-dbgsym" bash -c \
        "dpkg-deb -c $build/tollwick-dbgsym_*.ddeb | grep -q 'usr/lib/debug/.build-id/.*\.debug'"
    # the source folder (and the build folder) by absolute path, in 8-bit and in UTF-16
    # strings (QStringLiteral)
    no_build_path() {
        mkdir -p "$stage/dbg" && dpkg-deb -x "$build"/tollwick-dbgsym_*.ddeb "$stage/dbg" || return 1
        ! find "$stage/deb1/usr" "$stage/dbg" -type f -exec strings -a {} + -exec strings -a -e l {} + |
            grep -F -e "$build" -e "$source_dir"
    }
    check "no build or source path in the binaries or their debug symbols" no_build_path
    if command -v lintian >/dev/null; then
        # Tags left on purpose, each with its reason in HACKING.md.
        check "lintian: no error or warning" bash -c \
            "lintian --fail-on error,warning --suppress-tags-from-file '$source_dir/packaging/lintian-accepted' '$deb' | tee '$build/lintian.txt' | grep -E '^(E|W):' ; [ \${PIPESTATUS[0]} -eq 0 ]"
    else
        skip "lintian: not installed"
    fi

    # The same sources built again in a folder of another name give the same package.
    second="$stage/second build"
    build_type="$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")"
    build_again() {
        cmake -S "$source_dir" -B "$second" -DCMAKE_BUILD_TYPE="$build_type" -DBUILD_TESTING=OFF &&
            cmake --build "$second" -j2
    }
    files_and_sums() {
        (cd "$1" && find . -printf '%y %m %p %l\n' | LC_ALL=C sort &&
            find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum)
    }
    if check "second build in another folder" build_again &&
        check "second package" make_package "$second" "$stage/deb2"; then
        files_and_sums "$stage/deb1" >"$stage/sums1"
        files_and_sums "$stage/deb2" >"$stage/sums2"
        check "both builds give the same files, modes and contents" diff "$stage/sums1" "$stage/sums2"
        second_deb="$(ls "$second"/tollwick_*.deb)"
        if cmp -s "$deb" "$second_deb"; then
            echo "     the two .deb files are identical byte for byte"
        elif command -v diffoscope >/dev/null; then
            diffoscope --text "$build/diffoscope.txt" "$deb" "$second_deb" >/dev/null 2>&1
            echo "     the two .deb files differ; see diffoscope.txt"
        fi
    fi
fi

# --- installed with apt, started, purged ---------------------------------------------------
if [ -z "$deb" ]; then
    skip "install with apt: no package"
elif [ "$(id -u)" -ne 0 ]; then
    skip "install with apt: needs root"
elif dpkg-query -W -f='${Status}' tollwick 2>/dev/null | grep -q installed; then
    skip "install with apt: tollwick is installed already, left as it is"
else
    cp "$deb" "$stage/"
    check "apt-get install ./tollwick_*.deb" bash -c \
        "cd '$stage' && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ./$(basename "$deb")"
    check "tollwick on PATH is the packaged one" bash -c '[ "$(command -v tollwick)" = /usr/bin/tollwick ]'
    exec 3>"$stage/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    exec 3>&-
    if wait_for 10 test -s "$stage/display"; then
        mkdir -p "$stage/home"
        DISPLAY=":$(head -n 1 "$stage/display")" HOME="$stage/home" XDG_CONFIG_HOME="$stage/home/.config" \
            tollwick >/dev/null 2>&1 &
        app=$!
        pids+=("$app")
        check "the installed program shows its window" wait_for 15 \
            env DISPLAY=":$(head -n 1 "$stage/display")" xdotool search --onlyvisible --pid "$app" --name Tollwick
        kill -TERM "$app"
        wait_for 10 bash -c "! kill -0 $app"
        check "it saved its settings on SIGTERM" test -f "$stage/home/.config/tollwick/tollwk.ini"
    else
        check "Xvfb started" false
    fi
    dpkg-query -L tollwick 2>/dev/null | grep -i tollwick >"$stage/owned.txt"
    check "apt-get purge tollwick" bash -c "DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tollwick"
    not_known() { # not installed, not even as config files left behind ("rc")
        local status
        status="$(dpkg-query -W -f='${db:Status-Abbrev}' tollwick 2>/dev/null)"
        echo "dpkg status: '$status'"
        [ -z "$status" ] || [ "$status" = "un " ] || [ "$status" = "pn " ]
    }
    check "dpkg knows nothing of it" not_known
    nothing_left() {
        local left
        left="$(while read -r f; do [ -e "$f" ] && echo "$f"; done <"$stage/owned.txt"; ls /var/lib/dpkg/info/tollwick.* 2>/dev/null)"
        echo "$left"
        [ -s "$stage/owned.txt" ] && [ -z "$left" ]
    }
    check "none of its files is left" nothing_left
fi

echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
