#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a player gets it: lintian finds no error or warning, it holds what it should, and the
# game extracted from it starts, in a private X server, both as its desktop entry starts it (in its Path) and
# from a folder without sounds, as from a terminal in $HOME: the opening screen, the tune, then Esc ends it.
#
# usage: installed_game.sh <folder holding the package and its .changes>
# Exit status: 0 passed, 1 failed, 77 skipped (a needed tool is missing).
set -uo pipefail

packages=$1
source "$(dirname "$0")/x_session.sh"
require_tools lintian dpkg-deb Xvfb xdotool import convert desktop-file-validate appstreamcli

work=$(mktemp -d "${TMPDIR:-/tmp}/zubotta-installed.XXXXXX")
trap stop_session EXIT

changes=$(find "$packages" -maxdepth 1 -name 'zubotta_*.changes' | head -n1)
deb=$(find "$packages" -maxdepth 1 -name 'zubotta_*.deb' | head -n1)
[ -n "$changes" ] && [ -n "$deb" ] || { echo "e2e: FAIL: no zubotta package or .changes in $packages" >&2; exit 1; }

# Informational and pedantic tags are shown for the record; each is mended or explained in debian/.
lintian --pedantic -I -E --fail-on error,warning "$changes" || fail "lintian found errors or warnings"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
for file in /usr/games/zubotta /usr/share/man/man6/zubotta.6.gz /usr/share/applications/zubotta.desktop \
            /usr/share/metainfo/org.example.zubotta.metainfo.xml /usr/share/doc/zubotta/copyright \
            /usr/share/doc/zubotta/changelog.gz /usr/share/icons/hicolor/{32x32,64x64,128x128,256x256}/apps/zubotta.png \
            /usr/share/games/zubotta/{その他,禁止,打音,BGM,空振,TIMEOUT,モグラ}.wav; do
    grep -qxF "$file" "$work/contents" || fail "the package lacks $file"
done
[ "$(grep -c '^/usr/bin/.' "$work/contents")" = 0 ] || fail "the package puts something in /usr/bin"
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "the package is not in the games section"

root=$work/root
dpkg-deb -x "$deb" "$root" || { echo "e2e: FAIL: dpkg-deb -x failed" >&2; exit 1; }
entry=$root/usr/share/applications/zubotta.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate found problems"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.example.zubotta.metainfo.xml" ||
    fail "appstreamcli found problems"
key() { sed -n "s/^$1=//p" "$entry"; }
[ "$(key Exec)" = zubotta ] && [ -f "$root/usr/games/zubotta" ] || fail "the entry's Exec is not the installed game"
[ -d "$root$(key Path)" ] || fail "the entry's Path $(key Path) is not in the package"

start_x_server

# The window shows the opening screen (no sound box stopped start-up), the tune is heard, Esc ends with 0.
opening() {
    import -window "$window" "$work/opening.png" 2>/dev/null &&
        [ "$(convert "$work/opening.png" -format '%[fx:p{10,250}.r*255]' info:)" = 128 ]
}
tune_heard() {
    [ -s "$work/audio.raw" ] &&
        [ "$(od -An -v -t d2 -N 400000 "$work/audio.raw" | tr -s ' ' '\n' | grep -cv -e '^$' -e '^0$')" -gt 100 ]
}
play_from() {
    local what=$1 folder=$2
    rm -f "$work/audio.raw"
    launch_in "$folder" "$root/usr/games/zubotta" || return
    note "$what: started in $folder"
    poll 5000 opening || fail "$what: no opening screen (olive ground band) in the window"
    poll 5000 tune_heard && note "$what: the tune plays" || fail "$what: no sound in the output: sounds not found"
    xdotool key --window "$window" Escape
    expect_exit_zero "$what: Esc" 1000
}

play_from "from the desktop entry" "$root$(key Path)"
mkdir "$work/home"
play_from "from a folder without sounds" "$work/home"

[ $failures -eq 0 ] || exit 1
note "the package is lintian-clean, complete, and its game finds its sounds from any folder"
