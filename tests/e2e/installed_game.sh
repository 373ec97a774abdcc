#!/usr/bin/env bash
# Installs the built game into a staging folder and starts it the way its desktop entry does
# (its Exec in its Path), in a private X server: the opening screen with its sounds, then Esc.
#
# usage: installed_game.sh <build folder>
# Exit status: 0 passed, 1 failed, 77 skipped (a needed tool is missing).
set -uo pipefail

build=$1
source "$(dirname "$0")/x_session.sh"
require_tools Xvfb xdotool import convert desktop-file-validate appstreamcli

work=$(mktemp -d "${TMPDIR:-/tmp}/zubotta-installed.XXXXXX")
trap stop_session EXIT
stage=$work/stage

DESTDIR=$stage cmake --install "$build" >"$work/install.log" || { cat "$work/install.log" >&2; exit 1; }
entry=$(find "$stage" -path '*/applications/zubotta.desktop')
metainfo=$(find "$stage" -path '*/metainfo/*.metainfo.xml')
[ -n "$entry" ] && [ -n "$metainfo" ] || { echo "e2e: FAIL: no desktop entry or metainfo installed" >&2; exit 1; }

desktop-file-validate "$entry" || fail "desktop-file-validate found problems"
appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli found problems"

key() { sed -n "s/^$1=//p" "$entry"; }
exec_line=$(key Exec)
path=$(key Path)
icon=$(key Icon)
for size in 32 64 128 256; do
    [ -f "$(dirname "$(dirname "$entry")")/icons/hicolor/${size}x${size}/apps/$icon.png" ] || fail "no ${size}px icon"
done
# The entry names the installed places; in the staging folder they lie below it.
binary=$(find "$stage" -path "*/bin/$exec_line" -type f)
[ -d "$stage$path" ] || fail "the entry's Path $path was not installed"
[ "$(find "$stage$path" -name '*.wav' | wc -l)" = 7 ] || fail "the seven sounds are not in $path"

start_x_server
launch_in "$stage$path" "$binary" || exit 1
note "installed game started in $path"

# A sound box would stop start-up before the window shows; the window shows the opening screen.
opening() {
    import -window "$window" "$work/opening.png" 2>/dev/null &&
        [ "$(convert "$work/opening.png" -format '%[fx:p{10,250}.r*255]' info:)" = 128 ]
}
poll 5000 opening || fail "no opening screen (olive ground band) in the installed game's window"
# The tune loops from start-up, so the mixed output carries sound.
tune_heard() {
    [ -s "$work/audio.raw" ] &&
        [ "$(od -An -v -t d2 -N 400000 "$work/audio.raw" | tr -s ' ' '\n' | grep -cv -e '^$' -e '^0$')" -gt 100 ]
}
poll 5000 tune_heard && note "the tune plays" || fail "no sound in the installed game's output: sounds not loaded"

xdotool key --window "$window" Escape
expect_exit_zero "Esc in the installed game" 1000

[ $failures -eq 0 ] || exit 1
note "the installed game starts from its desktop entry with its sounds, and Esc ends it"
