#!/usr/bin/env bash
# Installs into a staging folder, validates the desktop entry and the AppStream data, and
# builds the Debian package and checks what it holds and depends on.
set -uo pipefail
build="$1"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
passed=0
failed=0
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

id="io.github.tollwick.Tollwick"
DESTDIR="$stage/root" cmake --install "$build" --prefix /usr >/dev/null
root="$stage/root/usr"
check "binary installed" test -x "$root/bin/tollwick"
check "desktop entry installed" test -f "$root/share/applications/$id.desktop"
check "icon 16x16" test -f "$root/share/icons/hicolor/16x16/apps/$id.png"
check "icon 32x32" test -f "$root/share/icons/hicolor/32x32/apps/$id.png"
check "icon scalable" test -f "$root/share/icons/hicolor/scalable/apps/$id.svg"
check "sound module installed" bash -c "ls '$root'/lib/*/tollwick/libtollwick_sound.so '$root'/lib/tollwick/libtollwick_sound.so 2>/dev/null | grep -q ."
check "metainfo installed" test -f "$root/share/metainfo/$id.metainfo.xml"
no_warnings() { out="$("$@" 2>&1)"; echo "$out"; [ -z "$out" ]; }
check "desktop-file-validate, no error or warning" \
    no_warnings desktop-file-validate "$root/share/applications/$id.desktop"
check "appstreamcli validate" appstreamcli validate --no-net --explain \
    "$root/share/metainfo/$id.metainfo.xml"
check "16x16 icon is 16x16" bash -c "file '$root/share/icons/hicolor/16x16/apps/$id.png' | grep -q '16 x 16'"

(cd "$build" && cpack -G DEB >"$stage/cpack.txt" 2>&1)
deb="$(ls "$build"/tollwick_*.deb 2>/dev/null | head -n 1)"
check "cpack built a .deb" test -n "$deb"
if [ -n "$deb" ]; then
    depends="$(dpkg-deb -f "$deb" Depends)"
    check "Depends names the Qt libraries" bash -c "grep -q libqt6widgets6 <<<'$depends'"
    check "Depends names the sound decoder" bash -c "grep -q libsndfile1 <<<'$depends'"
    check "Depends names a Japanese font" bash -c "grep -q fonts-noto-cjk <<<'$depends'"
    check ".deb holds the launcher" bash -c "dpkg-deb -c '$deb' | grep -q 'applications/$id.desktop'"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
